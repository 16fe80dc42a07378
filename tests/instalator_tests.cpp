// instalator.exe itself, started as its own process in a copy of the
// installation package: the confirmation, the dialog as it opens, closing it
// and folding the details.
#include "installer_session.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

// The dialog's client height at its template size (255 dialog units) in this
// dialog's pixels, worked out from the details box (150 units down, 100 high).
int TemplateClientHeight(HWND dialog)
{
    RECT details = WindowRect(GetDlgItem(dialog, IDC_DETAILS));
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    for (int base_units = 1; base_units < 200; ++base_units) {
        if (MulDiv(150, base_units, 8) == details.top - origin.y &&
            MulDiv(100, base_units, 8) == details.bottom - details.top)
            return MulDiv(255, base_units, 8);
    }
    return -1;
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

    // Folded: the window ends where the details box begins, both buttons show.
    RECT window = WindowRect(dialog);
    EXPECT_EQ(window.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS)).top);
    EXPECT_LT(WindowRect(GetDlgItem(dialog, IDOK)).bottom, window.bottom);
    EXPECT_LT(WindowRect(GetDlgItem(dialog, IDCANCEL)).bottom, window.bottom);
    EXPECT_EQ(FocusOfThread(dialog), GetDlgItem(dialog, IDOK));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
}

enum CloseWay { CLOSE_BUTTON, ESCAPE_KEY, CLOSE_BOX };

void Close(HWND dialog, CloseWay way)
{
    if (way == CLOSE_BUTTON) {
        PressButton(dialog, IDCANCEL);
    } else if (way == ESCAPE_KEY) {
        // The dialog manager's IsDialogMessage turns Escape into IDCANCEL.
        HWND focus = FocusOfThread(dialog);
        PostMessageA(focus != nullptr ? focus : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
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
}

TEST_P(InstallerClose, AfterARunShowsTheRestartNoticeFirst)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    // A run with nothing ticked is a run all the same.
    SendMessageA(GetDlgItem(dialog, IDC_JAVA_PLUGIN), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(GetDlgItem(dialog, IDC_DRIVERS), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(RunInstallation(dialog));
    restart_notices.Queue(IDOK);
    Close(dialog, GetParam());
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
    ASSERT_EQ(restart_notices.Texts().size(), 1u);
    EXPECT_EQ(restart_notices.Texts()[0], RESTART_TEXT);
}

INSTANTIATE_TEST_SUITE_P(Ways, InstallerClose,
                         ::testing::Values(CLOSE_BUTTON, ESCAPE_KEY, CLOSE_BOX));

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
    EXPECT_EQ(collapsed.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS)).top);
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
    EXPECT_EQ(folded.bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS)).top);

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

} // namespace
