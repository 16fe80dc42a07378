// instalator.exe started as its own process in a fresh copy of the
// installation package, with what the end-to-end tests need to drive it.
#ifndef TESTS_INSTALLER_SESSION_H
#define TESTS_INSTALLER_SESSION_H

#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

extern const char CONFIRMATION_CAPTION[];
extern const char CONFIRMATION_TEXT[];
extern const char DIALOG_TITLE[];
extern const char RESTART_CAPTION[];
extern const char RESTART_TEXT[];
extern const char REGISTRATION_KEY[];  // Apps & features, and the shared counts
extern const char SHARED_COUNT_KEY[];
constexpr int WINDOW_TIMEOUT_MS = 20000;

void CopyDirectory(const std::string &source, const std::string &target);
RECT WindowRect(HWND window);
// The private copies of the package in the temporary folders: of one
// process, or of all when 0.
std::vector<std::string> PrivateCopies(DWORD process_id = 0);
// A Java home whose java.exe records its calls, registered under `kind`
// ("Java Runtime Environment" or "Java Development Kit"), its files below
// `jre_part`, with a policy in place.
void RegisterJavaHome(const std::string &home, const std::string &jre_part, const char *kind,
                      const std::string &version = "1.8");

class Installer : public ::testing::Test {
protected:
    // Copies the built package: instalator.exe beside its subdirectories.
    void SetUp() override;
    // Removes what a run places outside the package: each test leaves the
    // machine as it found it.
    void TearDown() override;

    void Start();
    // The confirmation prompt of the started program, or null.
    HWND Confirmation();
    // Starts the program, answers Yes and returns the main dialog, or null.
    HWND OpenDialog();
    // Presses "In&staluj" and waits for the after-run captions.
    bool RunInstallation(HWND dialog);
    DWORD ExitCode();
    // Ends the dialog through "&Zamknij" and its restart notice.
    void CloseAfterRun(HWND dialog);

    ScratchDir package;
    std::string start_directory;  // the package when empty
    std::string arguments;        // the program's command line after its name
    std::unique_ptr<ChildProcess> process;
    PromptAnswerer restart_notices{RESTART_CAPTION};
};

#endif
