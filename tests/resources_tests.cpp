// The resources of the built instalator.exe, read back from the file: dialog
// 101 must be the classic Polish template control by control, and icon group
// 1 must carry the three sizes.
#include "resource.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

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
    {IDC_DRIVERS, "#128", "Sterowniki czytnika kart",
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 48, 105, 15},
    {IDC_IE, "#128", "Komponenty dla MS Internet Explorer",
     WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 65, 145, 15},
    {IDC_NETSCAPE, "#128", "Komponenty dla Netscape 4.x",
     WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 79, 145, 15},
    {IDC_JAVA_PLUGIN, "#128", "Komponenty dla Java Plug-in",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_FLAT, 8, 95, 145, 15},
    {IDC_STATUS_DRIVERS, "#130", "", STATUS_STYLE, 165, 50, 30, 15},
    {IDC_STATUS_IE, "#130", "", STATUS_STYLE, 165, 65, 30, 15},
    {IDC_STATUS_NETSCAPE, "#130", "", STATUS_STYLE, 165, 80, 30, 15},
    {IDC_STATUS_JAVA_PLUGIN, "#130", "", STATUS_STYLE, 165, 95, 30, 15},
    {IDC_READER_LIST, "#133", "",
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 99, 50, 211,
     60},
    {IDOK, "#128", "In&staluj", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON,
     10, 130, 80, 14},
    {IDCANCEL, "#128", "&Zaniechaj", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 235,
     130, 80, 14},
    {IDC_DETAILS, "#129", "",
     WS_CHILD | WS_VISIBLE | WS_GROUP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 5,
     150, 315, 100},
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
    ASSERT_EQ(count, 14);
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
    EXPECT_EQ(reader.Text(), "MS Sans Serif");

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

} // namespace
