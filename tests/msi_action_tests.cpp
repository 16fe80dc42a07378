// The MSI's custom action: what Windows Installer is told for each exit code
// of the program, and the command line it starts the program with.
#include "msi_action.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MsiAction, ExitCodesMapToWhatWindowsInstallerReads)
{
    const struct {
        unsigned long exit_code;
        int uninstall, result, restart;
    } cases[] = {
        {0, 0, 0, 0},          {3010, 0, 0, 1},       {1641, 0, 0, 1},
        {1618, 0, 1618, 0},    {1, 0, 1603, 0},       {1603, 0, 1603, 0},
        {1605, 0, 1603, 0},    {1605, 1, 0, 0},       {1, 1, 1603, 0},
        {0xC0000005, 0, 1603, 0},  // an access violation
    };
    for (const auto &c : cases) {
        int restart = -1;
        EXPECT_EQ(ActionResultOfExit(c.exit_code, c.uninstall, &restart), c.result) << c.exit_code;
        EXPECT_EQ(restart, c.restart) << c.exit_code;
    }
}

TEST(MsiAction, CommandRunsTheFolderProgramWithItsLogBesideTheMsiLog)
{
    const struct {
        const wchar_t *data;
        int beside;
        const wchar_t *log_folder;  // null when no command can be composed
    } cases[] = {
        {L"C:\\P\\|C:\\Logs\\msi.log", 1, L"C:\\Logs"},
        {L"C:\\P\\|C:\\Logs\\msi.log", 0, L"C:\\W\\Temp"},
        {L"C:\\P|", 1, L"C:\\W\\Temp"},
        {L"C:\\P\\", 1, L"C:\\W\\Temp"},
        {L"|C:\\Logs\\msi.log", 1, nullptr},
    };
    for (const auto &c : cases) {
        wchar_t command[128] = L"", folder[128] = L"";
        const int done =
            ComposeProgramCommand(c.data, L"C:\\W", L"/quiet", c.beside, command, folder, 128);
        EXPECT_EQ(done, c.log_folder != nullptr);
        if (c.log_folder != nullptr)
            EXPECT_EQ(std::wstring(command) + L"|" + folder,
                      L"\"C:\\P\\instalator.exe\" /quiet /log:\"" + std::wstring(c.log_folder) +
                          L"\\instalator.log\"|C:\\P\\");
    }
    wchar_t small[40], folder[40];
    EXPECT_EQ(ComposeProgramCommand(L"C:\\P\\|", L"C:\\W", L"/quiet", 1, small, folder, 40), 0);
}

} // namespace
