// The resources of the built instalator.exe, read back from the file: dialog
// 101 must be the classic Polish template control by control, icon group 1
// must carry the three sizes, the manifest must parse into the activation
// context that Windows builds at start, and the version must read back.
#include "resource.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Reads a classic DLGTEMPLATE the way the dialog manager does.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE *data) : at_(data) {}
    WORD Word()
    {
        WORD value = (WORD)(at_[0] | (at_[1] << 8));
        at_ += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | ((DWORD)Word() << 16);
    }
    // A text, an ordinal (0xFFFF, value) written as "#value", or nothing.
    std::string Text()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::wstring wide;
        for (WORD c = first; c != 0; c = Word())
            wide += (wchar_t)c;
        char text[512] = "";
        WideCharToMultiByte(1250, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
        return text;
    }
    void AlignDword(const BYTE *base)
    {
        while ((at_ - base) % 4 != 0)
            ++at_;
    }

private:
    const BYTE *at_;
};

struct ControlRow {
    int id;
    const char *class_name;  // as the template stores it: "#128" button, "#130" static ...
    const char *text;
    DWORD style;
    short x, y, cx, cy;
};

const DWORD STATUS_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE;

const ControlRow EXPECTED_CONTROLS[] = {
    {0xFFFF, "#128", "Instalowane składniki", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX, 5,
     5, 319, 120},
    {0xFFFF, "#130",
     "Wybierz instalowane składniki (jeśli nie jesteś pewny - pozostaw składnik z listy jako "
     "wybrany):",
     WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 15, 20, 180, 20},
    {IDC_DRIVERS, "#128", "Sterowniki &czytnika kart",
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 48, 105, 15},
    {IDC_IE, "#128", "Komponenty dla MS Internet Explorer",
     WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 65, 145, 15},
    {IDC_NETSCAPE, "#128", "Komponenty dla Netscape 4.x",
     WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 79, 145, 15},
    {IDC_JAVA_PLUGIN, "#128", "Komponenty dla &Java Plug-in",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 95, 145, 15},
    {IDC_STATUS_DRIVERS, "#130", "", STATUS_STYLE, 165, 50, 30, 15},
    {IDC_STATUS_IE, "#130", "", STATUS_STYLE, 165, 65, 30, 15},
    {IDC_STATUS_NETSCAPE, "#130", "", STATUS_STYLE, 165, 80, 30, 15},
    {IDC_STATUS_JAVA_PLUGIN, "#130", "", STATUS_STYLE, 165, 95, 30, 15},
    {IDC_READER_LABEL, "#130", "&Model czytnika:", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 99,
     40, 211, 8},
    {IDC_READER_LIST, "#133", "",
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 99, 50, 211,
     60},
    {IDOK, "#128", "In&staluj", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON,
     10, 130, 80, 14},
    {IDCANCEL, "#128", "&Zaniechaj", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 235,
     130, 80, 14},
    {IDC_DETAILS_LABEL, "#130", "&Raport z instalacji:", WS_CHILD | WS_GROUP | SS_LEFT, 5, 150, 315,
     8},
    {IDC_DETAILS, "#129", "",
     WS_CHILD | WS_GROUP | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 5,
     160, 315, 90},
};

class InstallerResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(WindowsPath(INSTALATOR_EXE).c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << GetLastError();
    }
    void TearDown() override
    {
        if (module != nullptr)
            FreeLibrary(module);
    }

    const BYTE *Resource(LPCSTR type, LPCSTR name, WORD language, DWORD *size)
    {
        HRSRC found = FindResourceExA(module, type, name, language);
        if (found == nullptr)
            return nullptr;
        *size = SizeofResource(module, found);
        return static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    }

    HMODULE module = nullptr;
};

TEST_F(InstallerResources, MainDialogIsTheClassicPolishTemplate)
{
    DWORD size = 0;
    const BYTE *data = Resource(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_MAIN),
                                MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT), &size);
    ASSERT_NE(data, nullptr) << "no dialog 101 in language 1045";
    TemplateReader reader(data);
    ASSERT_NE(reader.Word(), 1) << "extended template";
    reader = TemplateReader(data);
    EXPECT_EQ(reader.Dword(),
              (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(reader.Dword(), 0u);
    const int count = reader.Word();
    ASSERT_EQ(count, 16);
    const short x = (short)reader.Word(), y = (short)reader.Word();
    const short cx = (short)reader.Word(), cy = (short)reader.Word();
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(cx, 370);
    EXPECT_EQ(cy, 255);
    EXPECT_EQ(reader.Text(), "") << "menu";
    EXPECT_EQ(reader.Text(), "") << "window class";
    EXPECT_EQ(reader.Text(), "") << "title";
    EXPECT_EQ(reader.Word(), 8) << "point size";
    EXPECT_EQ(reader.Text(), "MS Shell Dlg");

    for (int i = 0; i < count; ++i) {
        const ControlRow &row = EXPECTED_CONTROLS[i];
        reader.AlignDword(data);
        EXPECT_EQ(reader.Dword(), row.style) << "control " << i + 1;
        EXPECT_EQ(reader.Dword(), 0u) << "control " << i + 1;
        EXPECT_EQ((short)reader.Word(), row.x) << "control " << i + 1;
        EXPECT_EQ((short)reader.Word(), row.y) << "control " << i + 1;
        EXPECT_EQ((short)reader.Word(), row.cx) << "control " << i + 1;
        EXPECT_EQ((short)reader.Word(), row.cy) << "control " << i + 1;
        EXPECT_EQ(reader.Word(), row.id) << "control " << i + 1;
        EXPECT_EQ(reader.Text(), row.class_name) << "control " << i + 1;
        EXPECT_EQ(reader.Text(), row.text) << "control " << i + 1;
        EXPECT_EQ(reader.Word(), 0) << "creation data of control " << i + 1;
    }
}

TEST_F(InstallerResources, IconGroupOneHoldsThe16_32And48PixelImages)
{
    DWORD size = 0;
    const BYTE *group = Resource(MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(IDI_INSTALATOR),
                                 MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT), &size);
    ASSERT_NE(group, nullptr) << "no icon group 1";
    ASSERT_GE(size, 6u);
    const int count = group[4] | (group[5] << 8);
    ASSERT_EQ(count, 3);
    ASSERT_GE(size, 6u + 14u * count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE *entry = group + 6 + 14 * i;
        sizes.push_back(entry[0]);
        WORD image_id = (WORD)(entry[12] | (entry[13] << 8));
        DWORD image_size = 0;
        EXPECT_NE(Resource(MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(image_id),
                           MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT), &image_size),
                  nullptr);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
    HICON icon = (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_INSTALATOR), IMAGE_ICON, 48, 48, 0);
    EXPECT_NE(icon, nullptr) << "the 48 px image does not load";
    if (icon != nullptr)
        DestroyIcon(icon);
}

// The activation context that Windows builds from manifest 1 when it starts
// the program; a manifest that does not parse gives none.
class InstallerManifest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string path = WindowsPath(INSTALATOR_EXE);
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = MAKEINTRESOURCEA(1);
        context = CreateActCtxA(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override
    {
        if (context != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context);
    }

    // Queries `what` of the context into `buffer`; false when it fails.
    bool Query(ULONG what, const void *subject, std::vector<BYTE> *buffer)
    {
        SIZE_T needed = 0;
        QueryActCtxW(0, context, (void *)subject, what, nullptr, 0, &needed);
        if (needed == 0)
            return false;
        buffer->assign(needed, 0);
        return QueryActCtxW(0, context, (void *)subject, what, buffer->data(), needed, &needed);
    }

    HANDLE context = INVALID_HANDLE_VALUE;
};

TEST_F(InstallerManifest, AsksForAdministratorRightsWithoutUiAccess)
{
    std::vector<BYTE> buffer;
    ASSERT_TRUE(Query(RunlevelInformationInActivationContext, nullptr, &buffer));
    const auto *run_level = (const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION *)buffer.data();
    EXPECT_EQ(run_level->RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(run_level->UiAccess, 0u);
}

TEST_F(InstallerManifest, DependsOnCommonControls6)
{
    // Index 1 is the program's own assembly, its dependencies follow.
    std::vector<std::wstring> identities;
    for (DWORD index = 2;; ++index) {
        std::vector<BYTE> buffer;
        if (!Query(AssemblyDetailedInformationInActivationContext, &index, &buffer))
            break;
        const auto *assembly =
            (const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION *)buffer.data();
        identities.push_back(std::wstring(assembly->lpAssemblyEncodedAssemblyIdentity,
                                          assembly->ulEncodedAssemblyIdentityLength /
                                              sizeof(WCHAR)));
    }
    ASSERT_EQ(identities.size(), 1u);
    EXPECT_NE(identities[0].find(L"Microsoft.Windows.Common-Controls"), std::wstring::npos)
        << "the dependency is not Common-Controls";
    // The request for 6.0.0.0 binds to the newest 6.0 servicing version.
    EXPECT_NE(identities[0].find(L"version=\"6.0."), std::wstring::npos)
        << "Common-Controls of another version: "
        << std::string(identities[0].begin(), identities[0].end());
}

// Per-monitor v2, else per-monitor (Windows 8.1 to 10 1607), else system aware.
TEST_F(InstallerManifest, IsPerMonitorV2DpiAwareWithFallbacks)
{
    const wchar_t *const settings[][3] = {
        {L"2005", L"dpiAware", L"true/pm"},
        {L"2016", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
    };
    for (const auto &setting : settings) {
        const std::wstring space = std::wstring(L"http://schemas.microsoft.com/SMI/") + setting[0] +
                                   L"/WindowsSettings";
        WCHAR value[32] = L"";
        SIZE_T written = 0;
        ASSERT_TRUE(QueryActCtxSettingsW(0, context, space.c_str(), setting[1], value,
                                         ARRAYSIZE(value), &written))
            << GetLastError();
        EXPECT_STREQ(value, setting[2]);
    }
}

TEST_F(InstallerManifest, SupportsVista7_8_81And10)
{
    std::vector<BYTE> buffer;
    ASSERT_TRUE(Query(CompatibilityInformationInActivationContext, nullptr, &buffer));
    const DWORD count = *(const DWORD *)buffer.data();
    // Windows 10 (and Wine) added a 64-bit MaxVersionTested to each element,
    // which also aligns the array to 8; older headers know only Id and Type.
    size_t first = 4, stride = sizeof(GUID) + sizeof(DWORD);
    if (buffer.size() >= 8 + count * 32) {
        first = 8;
        stride = 32;
    }
    std::set<std::wstring> supported;
    for (DWORD i = 0; i < count; ++i) {
        const BYTE *element = buffer.data() + first + i * stride;
        if (*(const DWORD *)(element + sizeof(GUID)) != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS)
            continue;
        WCHAR text[40] = L"";
        StringFromGUID2(*(const GUID *)element, text, ARRAYSIZE(text));
        supported.insert(text);
    }
    EXPECT_EQ(supported, (std::set<std::wstring>{
                             L"{E2011457-1546-43C5-A5FE-008DEEE3D3F0}",  // Vista
                             L"{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",  // 7
                             L"{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",  // 8
                             L"{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",  // 8.1
                             L"{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",  // 10 and 11
                         }));
}

// What Explorer's file properties show, read the way it reads them.
class InstallerVersion : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string path = WindowsPath(INSTALATOR_EXE);
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_NE(size, 0u) << "no version resource";
        data.assign(size, 0);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    }
    // The value at `block`, or null when there is none.
    const void *Value(const char *block, UINT *length = nullptr)
    {
        void *value = nullptr;
        UINT value_length = 0;
        if (!VerQueryValueA(data.data(), block, &value, &value_length))
            return nullptr;
        if (length != nullptr)
            *length = value_length;
        return value;
    }

    std::vector<BYTE> data;
};

TEST_F(InstallerVersion, FixedInfoIs2_8_0_0)
{
    const auto *fixed = (const VS_FIXEDFILEINFO *)Value("\\");
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (DWORD)MAKELONG(8, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, (DWORD)MAKELONG(8, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_APP);
}

TEST_F(InstallerVersion, PolishStringsNameTheInstallerAndNoOne)
{
    UINT length = 0;
    const auto *translation = (const WORD *)Value("\\VarFileInfo\\Translation", &length);
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u) << "one translation";
    EXPECT_EQ(translation[0], 0x0415);
    EXPECT_EQ(translation[1], 1250);

    struct Row {
        const char *name;
        const char *text;  // null: must be absent
    };
    const Row rows[] = {
        {"FileDescription", "Instalator czytnika kart mikroprocesorowych"},
        {"ProductName", "Instalator czytnika kart mikroprocesorowych"},
        {"FileVersion", "2.8.0.0"},
        {"ProductVersion", "2.8.0.0"},
        {"OriginalFilename", "instalator.exe"},
        {"CompanyName", nullptr},
        {"LegalCopyright", nullptr},
    };
    for (const Row &row : rows) {
        std::string block = std::string("\\StringFileInfo\\041504E2\\") + row.name;
        const char *value = (const char *)Value(block.c_str());
        if (row.text == nullptr)
            EXPECT_EQ(value, nullptr) << row.name << ": " << value;
        else
            EXPECT_STREQ(value, row.text) << row.name;
    }
}

} // namespace
