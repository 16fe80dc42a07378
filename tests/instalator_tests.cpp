// instalator.exe itself, started as its own process in a copy of the
// installation package: the confirmation, the dialog as it opens, closing it
// and folding the details.
#include "installer_session.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <map>

namespace {

// The dialog's vertical base unit, the height of its own font, worked out
// from the details box (160 dialog units down, 90 high); -1 when none fits.
int DialogFontHeight(HWND dialog)
{
    RECT details = WindowRect(GetDlgItem(dialog, IDC_DETAILS));
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    for (int base_units = 1; base_units < 200; ++base_units) {
        if (MulDiv(160, base_units, 8) == details.top - origin.y &&
            MulDiv(90, base_units, 8) == details.bottom - details.top)
            return base_units;
    }
    return -1;
}

// The dialog's client height at its template size (255 dialog units).
int TemplateClientHeight(HWND dialog)
{
    return MulDiv(255, DialogFontHeight(dialog), 8);
}

int ClientHeight(HWND dialog)
{
    RECT client = {};
    GetClientRect(dialog, &client);
    return client.bottom;
}

TEST_F(Installer, NoAtTheConfirmationEndsTheProgramWithoutTheDialog)
{
    Start();
    HWND box = Confirmation();
    ASSERT_NE(box, nullptr);
    SaveStateScreenshot("confirmation");
    EXPECT_EQ(ReadControlText(box, MESSAGE_BOX_TEXT_ID), CONFIRMATION_TEXT);
    EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(box, IDYES), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);

    PressButton(box, IDNO);
    // Looked for while the process lives: after its exit no window is left.
    HWND dialog = nullptr;
    const DWORD start = GetTickCount();
    while (dialog == nullptr && process->WaitForExit(10) == STILL_ACTIVE &&
           GetTickCount() - start < (DWORD)WINDOW_TIMEOUT_MS)
        dialog = WaitForProcessWindow(process->id(), "#32770", DIALOG_TITLE, 0);
    EXPECT_EQ(dialog, nullptr) << "the dialog opened after No";
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
}

TEST_F(Installer, YesOpensTheDialogReadyToInstall)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);

    EXPECT_TRUE(IsButtonChecked(dialog, IDC_DRIVERS));
    EXPECT_TRUE(IsButtonChecked(dialog, IDC_JAVA_PLUGIN));
    for (int hidden : {IDC_IE, IDC_NETSCAPE}) {
        EXPECT_FALSE(IsControlVisible(dialog, hidden)) << hidden;
        EXPECT_FALSE(IsControlEnabled(dialog, hidden)) << hidden;
        EXPECT_FALSE(IsButtonChecked(dialog, hidden)) << hidden;
    }
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ComboItemText(dialog, IDC_READER_LIST, 0), "GemPC(Twin,Tokens)-Win8-64bit");
    EXPECT_EQ(ComboItemText(dialog, IDC_READER_LIST, 1),
              "GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit");
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsControlVisible(dialog, IDC_READER_LIST));
    EXPECT_FALSE(IsControlVisible(dialog, IDC_STATUS_DRIVERS));
    for (int label : {IDC_STATUS_IE, IDC_STATUS_NETSCAPE, IDC_STATUS_JAVA_PLUGIN})
        EXPECT_EQ(ReadControlText(dialog, label), "") << label;
    EXPECT_EQ(ReadControlText(dialog, IDOK), "In&staluj");
    EXPECT_EQ(ReadControlText(dialog, IDCANCEL), "&Zaniechaj");

    // Folded: the window ends where the report's label begins, both buttons show.
    RECT window = WindowRect(dialog);
    EXPECT_EQ(window.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS_LABEL)).top);
    EXPECT_LT(WindowRect(GetDlgItem(dialog, IDOK)).bottom, window.bottom);
    EXPECT_LT(WindowRect(GetDlgItem(dialog, IDCANCEL)).bottom, window.bottom);
    EXPECT_EQ(FocusOfThread(dialog), GetDlgItem(dialog, IDOK));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
}

// "Instaluj" beside another installer, or beside a record held open by another
// (which keeps it from its way back), runs nothing and keeps the dialog; once
// that has ended, it runs, and holds off a quiet run until its own run ends.
TEST_F(Installer, InstallWaitsForAnotherInstallerToEnd)
{
    HANDLE other = CreateMutexA(nullptr, FALSE, "Global\\Instalator.CzytnikKart");
    const std::string folder = "C:\\Program Files\\Instalator czytnika kart";
    const std::string java = package / "jre\\bin\\java";
    RegisterJavaHome(package / "jre", "", "Java Runtime Environment");
    ASSERT_TRUE(MakeDirectories(folder) && WriteTextFile(folder + "\\record.txt", "") &&
                WriteTextFile(java + ".wait", ""));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageA(GetDlgItem(dialog, IDC_DRIVERS), BM_SETCHECK, BST_UNCHECKED, 0);
    PromptAnswerer boxes("Instalator czytnika kart mikroprocesorowych");
    for (HANDLE held : {other, CreateFileA((folder + "\\record.txt").c_str(), GENERIC_READ, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr)}) {
        boxes.Queue(IDOK);
        PressButton(dialog, IDOK);
        // The box is the dialog's, which is enabled again once it is answered.
        WaitUntil([&] { return boxes.Count() > (held != other) && IsWindowEnabled(dialog); },
                  WINDOW_TIMEOUT_MS);
        ExpectAllPromptsAnswered(boxes);
        EXPECT_EQ(ReadControlText(dialog, IDCANCEL), "&Zaniechaj");
        CloseHandle(held);
    }
    EXPECT_EQ(boxes.Texts().at(0), "Działa już inny instalator");
    EXPECT_EQ(boxes.Texts().at(1), "Zapis zmian nieczytelny, nic nie zmieniono: " + folder);
    EXPECT_FALSE(FileExists(JoinPath(SystemDirectory(), "ocfpcsc1.dll")));
    PressButton(dialog, IDOK);
    WaitUntil([&] { return FileExists(java + ".calls"); }, WINDOW_TIMEOUT_MS);
    ChildProcess quiet(package / "instalator.exe", package.path(), "/quiet");
    EXPECT_EQ(quiet.WaitForExit(WINDOW_TIMEOUT_MS), 1618u);
    DeleteFileA((java + ".wait").c_str());
    ASSERT_TRUE(WaitForText(dialog, IDCANCEL, "&Zamknij", 120000));
    CloseAfterRun(dialog);
}

enum CloseWay { CLOSE_BUTTON, ESCAPE_KEY, CLOSE_BOX, ACCESS_KEY, ENTER_ON_CANCEL };

void Close(HWND dialog, CloseWay way)
{
    if (way == CLOSE_BUTTON) {
        PressButton(dialog, IDCANCEL);
    } else if (way == ESCAPE_KEY) {
        // The dialog manager's IsDialogMessage turns Escape into IDCANCEL.
        PressKeys({VK_ESCAPE});
    } else if (way == ACCESS_KEY) {
        PressKeys({VK_MENU, 'Z'});
    } else if (way == ENTER_ON_CANCEL) {
        // Enter presses the focused button, not the default one.
        PressKeys({VK_TAB});
        ASSERT_EQ(WaitForFocus(dialog, IDCANCEL), IDCANCEL);
        PressKeys({VK_RETURN});
    } else {
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

class InstallerClose : public Installer, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(InstallerClose, BeforeARunEndsWithoutTheRestartNotice)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    Close(dialog, GetParam());
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
    EXPECT_FALSE(FileExists(JoinPath(SystemDirectory(), "ocfpcsc1.dll"))) << "a run took place";
}

TEST_P(InstallerClose, AfterARunShowsTheRestartNoticeFirst)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    // A run with nothing ticked is a run all the same.
    SendMessageA(GetDlgItem(dialog, IDC_JAVA_PLUGIN), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(GetDlgItem(dialog, IDC_DRIVERS), BM_SETCHECK, BST_UNCHECKED, 0);
    PressKeys({VK_MENU, 'S'});  // "Instaluj" before the run
    ASSERT_TRUE(WaitForText(dialog, IDCANCEL, "&Zamknij"));
    restart_notices.Queue(IDOK);
    Close(dialog, GetParam());
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
    ASSERT_EQ(restart_notices.Texts().size(), 1u);
    EXPECT_EQ(restart_notices.Texts()[0], RESTART_TEXT);
}

INSTANTIATE_TEST_SUITE_P(Ways, InstallerClose,
                         ::testing::Values(CLOSE_BUTTON, ESCAPE_KEY, CLOSE_BOX, ACCESS_KEY,
                                           ENTER_ON_CANCEL));

TEST_F(Installer, DetailsToggleKeepsAMovedWindowsLeftAndTopAndNeverRunsAgain)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageA(GetDlgItem(dialog, IDC_JAVA_PLUGIN), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(GetDlgItem(dialog, IDC_DRIVERS), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(RunInstallation(dialog));
    const RECT collapsed = WindowRect(dialog);
    const std::string report = ReadControlText(dialog, IDC_DETAILS);
    EXPECT_EQ(ReadControlText(dialog, IDOK), "&Szczegóły >>");
    EXPECT_EQ(collapsed.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS_LABEL)).top);
    // The removal is part of every run: a second one would delete this.
    const std::string leftover = JoinPath(SystemDirectory(), "ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(leftover, "previous OCF"));

    // Moved by the user, then unfolded: same left, top and width, full height.
    MoveWindow(dialog, 40, 30, collapsed.right - collapsed.left, collapsed.bottom - collapsed.top,
               TRUE);
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForText(dialog, IDOK, "&Szczegóły <<"));
    SaveStateScreenshot("unfolded");
    RECT expanded = WindowRect(dialog);
    RECT details = WindowRect(GetDlgItem(dialog, IDC_DETAILS));
    EXPECT_EQ(expanded.left, 40);
    EXPECT_EQ(expanded.top, 30);
    EXPECT_EQ(expanded.right - expanded.left, collapsed.right - collapsed.left);
    EXPECT_GT(expanded.bottom, details.bottom);
    EXPECT_EQ(ClientHeight(dialog), TemplateClientHeight(dialog)) << "not the full height";
    EXPECT_EQ(ReadControlText(dialog, IDCANCEL), "&Zamknij");

    MoveWindow(dialog, 100, 80, expanded.right - expanded.left, expanded.bottom - expanded.top,
               TRUE);
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForText(dialog, IDOK, "&Szczegóły >>"));
    SaveStateScreenshot("folded");
    RECT folded = WindowRect(dialog);
    EXPECT_EQ(folded.left, 100);
    EXPECT_EQ(folded.top, 80);
    EXPECT_EQ(folded.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS_LABEL)).top);

    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForText(dialog, IDOK, "&Szczegóły <<"));
    EXPECT_EQ(WindowRect(dialog).bottom - WindowRect(dialog).top,
              expanded.bottom - expanded.top);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), report) << "a second run took place";
    EXPECT_TRUE(FileExists(leftover)) << "a second run took place";

    restart_notices.Queue(IDOK);
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
}

// A control's name as a screen reader gets it through Active Accessibility.
std::wstring AccessibleName(HWND control)
{
    IAccessible *accessible = nullptr;
    BSTR name = nullptr;
    if (AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible,
                                   (void **)&accessible) == S_OK) {
        accessible->get_accName(VARIANT{{{VT_I4}}}, &name);  // CHILDID_SELF
        accessible->Release();
    }
    std::wstring text = name != nullptr ? name : L"";
    SysFreeString(name);
    return text;
}

// The controls' texts as the program's dialog template holds them, by id.
std::multimap<int, std::wstring> TemplateTexts()
{
    std::multimap<int, std::wstring> texts;
    HMODULE program = LoadLibraryExA(WindowsPath(INSTALATOR_EXE).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(IDD_MAIN), (LPCSTR)RT_DIALOG);
    const WORD *at = (const WORD *)LockResource(LoadResource(program, found));
    // Each text is an ordinal (0xFFFF, then a number) or a NUL-ended string.
    auto skip = [&at] { at += *at == 0xFFFF ? 2 : wcslen((const wchar_t *)at) + 1; };
    const DLGTEMPLATE *dialog = (const DLGTEMPLATE *)at;
    at = (const WORD *)(dialog + 1);
    skip(), skip(), skip();  // menu, class, title
    if (dialog->style & DS_SETFONT)
        ++at, skip();
    for (int i = 0; i < dialog->cdit; ++i) {
        at = (const WORD *)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
        const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)at;
        at = (const WORD *)(item + 1);
        skip();  // class
        if (*at != 0xFFFF)
            texts.emplace(item->id, (const wchar_t *)at);
        skip();
        at += *at / 2 + 1;  // creation data
    }
    FreeLibrary(program);
    return texts;
}

// Each visible control named as Windows documents it (by the template's text
// while it shows that), its text whole in the dialog's own font (a check
// box's box or a button's edges aside) and inside the dialog, which fits the
// screen; the dialog's picture in the artifacts (the README shows them).
void ExpectEveryControlNamedAndWhole(HWND dialog, int dpi, const std::string &state)
{
    const std::multimap<int, std::wstring> resource = TemplateTexts();
    HDC screen = GetDC(nullptr);
    HGDIOBJ kept = SelectObject(screen, CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, 0, 0, 0, 0,
                                                    DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg"));
    TEXTMETRICW font = {};
    GetTextMetricsW(screen, &font);
    // Another process's font (WM_GETFONT) cannot be measured with here: the
    // dialog lays itself out in this one's height, 8 points at this scale.
    EXPECT_EQ(DialogFontHeight(dialog), font.tmHeight) << "not 8 points at " << dpi << " DPI";
    RECT inside, format = {}, window = WindowRect(dialog);
    GetClientRect(dialog, &inside);
    MapWindowPoints(dialog, nullptr, (POINT *)&inside, 2);
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control))
            continue;
        const RECT box = WindowRect(control);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        char kind[16] = "";  // Button, Static, Edit or ComboBox
        GetClassNameA(control, kind, sizeof kind);
        const bool check_box = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const int taken = kind[0] != 'B' ? 0 : MulDiv(check_box ? 18 : 6, dpi, 96);
        std::wstring text = ReadWindowTextW(control), name = text;
        name.erase(std::remove(name.begin(), name.end(), L'&'), name.end());
        RECT need = {0, 0, box.right - box.left - taken, 0};
        const bool wraps = kind[0] == 'S' && (style & SS_TYPEMASK) == SS_LEFT;
        DrawTextW(screen, text.c_str(), -1, &need,
                  DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
        const std::string where = state + ", control " + std::to_string(GetDlgCtrlID(control));
        // Wine names an edit by its label, a combo box by its selected item.
        if (kind[0] == 'E') {
            EXPECT_EQ(AccessibleName(control), AccessibleName(GetWindow(control, GW_HWNDPREV)));
            SendMessageW(control, EM_GETRECT, 0, (LPARAM)&format);  // its first line whole
            EXPECT_LE(font.tmHeight, format.bottom - format.top) << where;
            need = RECT{};
        } else if (kind[0] != 'C') {
            // Before the run each text is the template's (after it, the run's).
            bool given = false;
            for (auto at = resource.equal_range(GetDlgCtrlID(control)); at.first != at.second;)
                given |= (at.first++)->second == text;
            EXPECT_TRUE(given || state == "unfolded" || text.empty()) << where << " not ours";
            EXPECT_EQ(AccessibleName(control), name) << where;
        }
        EXPECT_LE(need.right, box.right - box.left - taken) << where << " clips its text";
        EXPECT_LE(need.bottom, box.bottom - box.top) << where << " clips its text";
        EXPECT_TRUE(box.left >= inside.left && box.right <= inside.right &&
                    box.top >= inside.top && box.bottom <= inside.bottom)
            << where << " lies outside the dialog";
    }
    DeleteObject(SelectObject(screen, kept));
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(window.right - window.left <= 1280 && window.bottom - window.top <= 1024);
    SaveWindowScreenshot(dialog, WindowsPath(TEST_ARTIFACTS_DIR) + "\\dialog-" +
                                     std::to_string(dpi) + "-" + state + ".bmp");
}

// By keyboard alone: Tab and Shift+Tab through every control that takes input
// and no other, the access keys (Java's box unticked and ticked again, the
// drivers' unticked, so that no installer's window can take the keyboard),
// Enter from a check box, the focus on "Szczegóły" after the run, the report
// reached only while unfolded (Esc, Alt+Z: InstallerClose). At 144 DPI the
// controls only, the run started by Enter from the list.
class InstallerScale : public Installer, public ::testing::WithParamInterface<int> {};

TEST_P(InstallerScale, KeyboardReachesEveryControlNamedAndWhole)
{
    // Wine reads LogPixels when a program starts.
    const char *desktop = "Control Panel\\Desktop";
    DWORD dpi = GetParam(), usual = 96;
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    HWND dialog = OpenDialog();
    RegSetKeyValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &usual, sizeof usual);
    ASSERT_NE(dialog, nullptr);
    const WORD TAB = VK_TAB, BACK = VK_SHIFT, ALT = VK_MENU;
    if (dpi != 96) {
        ExpectEveryControlNamedAndWhole(dialog, dpi, "before");
        SendMessageA(GetDlgItem(dialog, IDC_DRIVERS), BM_SETCHECK, BST_UNCHECKED, 0);
        PressKeys({ALT, 'M'});
        ASSERT_EQ(WaitForFocus(dialog, IDC_READER_LIST), IDC_READER_LIST);
        PressKeys({VK_RETURN});
        ASSERT_TRUE(WaitForText(dialog, IDCANCEL, "&Zamknij")) << "no run from the list";
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitForText(dialog, IDOK, "&Szczegóły <<"));
        ExpectEveryControlNamedAndWhole(dialog, dpi, "unfolded");
        CloseAfterRun(dialog);
        return;
    }
    const struct {
        std::vector<WORD> keys;
        int focus;
        int ticks = -1;  // 2 for the drivers' box, 1 for Java's
    } steps[] = {
        // Before the run (no keys: the controls are checked and pictured).
        {{}, 0}, {{TAB}, IDCANCEL}, {{TAB}, IDC_DRIVERS}, {{TAB}, IDC_JAVA_PLUGIN},
        {{TAB}, IDC_READER_LIST}, {{TAB}, IDOK}, {{BACK, TAB}, IDC_READER_LIST},
        {{BACK, TAB}, IDC_JAVA_PLUGIN}, {{ALT, 'M'}, IDC_READER_LIST},
        {{ALT, 'J'}, IDC_JAVA_PLUGIN, 2}, {{ALT, 'J'}, IDC_JAVA_PLUGIN, 3},
        {{ALT, 'C'}, IDC_DRIVERS, 1},
        // The run from a check box; after it folded, then unfolded.
        {{VK_RETURN}, IDOK}, {{TAB}, IDCANCEL}, {{TAB}, IDOK}, {{TAB}, IDCANCEL},
        {{ALT, 'S'}, IDOK}, {{}, 0},
        // Unfolded: the report reached, folded from there, then out of reach.
        {{TAB}, IDCANCEL}, {{TAB}, IDC_DETAILS}, {{TAB}, IDOK}, {{ALT, 'R'}, IDC_DETAILS},
        {{VK_RETURN}, IDOK}, {{BACK, TAB}, IDCANCEL}, {{TAB}, IDOK},
    };
    for (const auto &step : steps) {
        if (step.keys.empty()) {
            ExpectEveryControlNamedAndWhole(
                dialog, dpi, IsControlVisible(dialog, IDC_DETAILS) ? "unfolded" : "before");
            continue;
        }
        PressKeys(step.keys);
        ASSERT_EQ(WaitForFocus(dialog, step.focus), step.focus) << "step " << &step - steps;
        // Where the focus stays, only the tick shows that the keys were taken.
        EXPECT_TRUE(step.ticks < 0 || WaitUntil([&] {
                        return 2 * IsButtonChecked(dialog, IDC_DRIVERS) +
                                   IsButtonChecked(dialog, IDC_JAVA_PLUGIN) == step.ticks;
                    }, WINDOW_TIMEOUT_MS)) << "step " << &step - steps;
    }
    CloseAfterRun(dialog);
}

INSTANTIATE_TEST_SUITE_P(Dpi, InstallerScale, ::testing::Values(96, 144));

} // namespace
