// Driving real windows the way Windows UI tests do: find a top-level window by
// class and caption (in this process or another), read its controls and press
// its buttons by id. PromptAnswerer answers message boxes from a second thread.
#ifndef TESTS_WINDOWS_UI_H
#define TESTS_WINDOWS_UI_H

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Message box button ids (Wine labels Abort "&Zaniechaj", so never match by text).
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;
// The static control that holds a message box's icon: 20 in Windows, stc1
// (1088) in Wine 8.
constexpr int MESSAGE_BOX_ICON_ID = 20;
constexpr int WINE_MESSAGE_BOX_ICON_ID = 1088;

// What a message box shows besides its text. The default button is read from
// the button styles: Wine's boxes answer DM_GETDEFID with IDOK whatever the style.
struct MessageBoxLook {
    HICON icon;          // of the visible icon control; null when there is none
    int default_button;  // the button with BS_DEFPUSHBUTTON, 0 when none
};
MessageBoxLook LookOf(HWND box);

// Polls until `done` holds; false when it did not within timeout_ms, which is
// only a safety net: a test waits for the event, never for a time.
bool WaitUntil(const std::function<bool()> &done, int timeout_ms = 60000);
// Waits up to timeout_ms for a visible top-level window; null when none came.
// A null class or caption matches any.
HWND WaitForWindow(const char *class_name, const char *caption, int timeout_ms);
// Waits up to timeout_ms for the window to go away; false when it stayed.
bool WaitForWindowGone(HWND window, int timeout_ms = 60000);
std::string ReadWindowText(HWND window);
std::string ReadControlText(HWND dialog, int control_id);
// The same as UTF-16: what the window holds, whatever this process's code page.
std::wstring ReadWindowTextW(HWND window);
std::wstring ReadControlTextW(HWND dialog, int control_id);
void PressButton(HWND dialog, int button_id);
// Waits up to timeout_ms for a control to read `text`; false when it did not.
bool WaitForText(HWND dialog, int control_id, const std::string &text, int timeout_ms = 60000);

// Answers every message box with the given caption that appears while it lives,
// in order, with the queued buttons. A box that comes when no answer is queued
// is unexpected: it is recorded and closed with Abort (IDABORT) or, for boxes
// without one, by the window's cancel path, so the test fails instead of hanging.
class PromptAnswerer {
public:
    explicit PromptAnswerer(const char *caption);
    ~PromptAnswerer();
    PromptAnswerer(const PromptAnswerer &) = delete;
    PromptAnswerer &operator=(const PromptAnswerer &) = delete;

    // `before` runs while the box is open, before it is answered.
    void Queue(int button_id, std::function<void()> before = nullptr);
    void Queue(int button_id, int times);
    // Texts and looks of every box seen so far, answered or not.
    std::vector<std::string> Texts();
    std::vector<MessageBoxLook> Looks();
    std::vector<std::wstring> WideTexts();
    int Count();
    int UnexpectedCount();
    int UnusedAnswers();

private:
    void Watch();

    std::string caption_;
    std::mutex mutex_;
    std::deque<std::pair<int, std::function<void()>>> answers_;
    std::vector<std::string> texts_;
    std::vector<MessageBoxLook> looks_;
    std::vector<std::wstring> wide_texts_;
    int unexpected_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Fails the current test unless exactly the queued answers were used and no
// unexpected box came.
void ExpectAllPromptsAnswered(PromptAnswerer &answerer);

// A path of the build (a Unix path when the tests run under Wine) as Windows
// sees it: Wine maps the Unix root to drive Z:.
std::string WindowsPath(const std::string &path);

// Check state, visibility and keyboard focus of another process's controls.
bool IsButtonChecked(HWND dialog, int control_id);
bool IsControlVisible(HWND dialog, int control_id);
bool IsControlEnabled(HWND dialog, int control_id);
// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusOfThread(HWND window);
// Waits up to timeout_ms for the focus to reach the control and for the
// dialog's thread to finish what it is doing; the id of the focused control.
int WaitForFocus(HWND dialog, int control_id, int timeout_ms = 20000);
// Presses the keys together at the foreground window, as the keyboard does:
// held down in order, let go in reverse.
void PressKeys(const std::vector<WORD> &keys);
std::string ComboItemText(HWND dialog, int control_id, int index);

// Saves the whole screen as a 24-bit BMP file; false when it could not.
bool SaveScreenshot(const std::string &path);
// The same for the part of the screen that a window covers.
bool SaveWindowScreenshot(HWND window, const std::string &path);
// Saves the screen as <artifacts>\<test suite>.<test name>-<state>.bmp, so a
// failed GUI test leaves a picture of each state it went through.
void SaveStateScreenshot(const char *state);

// A program of the build started as a separate process in a directory of our
// choosing, with `arguments` after its quoted name; ended (TerminateProcess)
// if it is still running when this goes.
class ChildProcess {
public:
    ChildProcess(const std::string &program, const std::string &directory,
                 const std::string &arguments = "", HANDLE output = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    // The exit code, or STILL_ACTIVE when it did not end within timeout_ms.
    DWORD WaitForExit(int timeout_ms);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Whether a process started by the given one is still running. A program
// that starts another does so before it returns: once none runs, whatever was
// started has ended and left its traces.
bool HasRunningChild(DWORD parent_id);

// Waits up to timeout_ms for a visible top-level window of the given process.
HWND WaitForProcessWindow(DWORD process_id, const char *class_name, const char *caption,
                          int timeout_ms);

#endif
