#include "windows_ui.h"

#include <gtest/gtest.h>

namespace {

struct WindowQuery {
    const char *class_name;
    const char *caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    WindowQuery *query = reinterpret_cast<WindowQuery *>(parameter);
    if (!IsWindowVisible(window))
        return TRUE;
    char text[512];
    if (query->class_name != nullptr) {
        GetClassNameA(window, text, sizeof text);
        if (lstrcmpA(text, query->class_name) != 0)
            return TRUE;
    }
    if (query->caption != nullptr) {
        GetWindowTextA(window, text, sizeof text);
        if (lstrcmpA(text, query->caption) != 0)
            return TRUE;
    }
    query->found = window;
    return FALSE;
}

} // namespace

HWND WaitForWindow(const char *class_name, const char *caption, int timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowQuery query = {class_name, caption, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
        if (query.found != nullptr)
            return query.found;
        if ((int)(GetTickCount() - start) >= timeout_ms)
            return nullptr;
        Sleep(10);
    }
}

bool WaitForWindowGone(HWND window, int timeout_ms)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if ((int)(GetTickCount() - start) >= timeout_ms)
            return false;
        Sleep(10);
    }
    return true;
}

std::string ReadWindowText(HWND window)
{
    // WM_GETTEXT through SendMessageTimeout would block on a busy window;
    // GetWindowTextA of another process's window reads the cached text.
    char text[4096] = "";
    int length = GetWindowTextA(window, text, sizeof text);
    if (length == 0)
        length = (int)SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return std::string(text, length > 0 ? length : 0);
}

std::string ReadControlText(HWND dialog, int control_id)
{
    HWND control = GetDlgItem(dialog, control_id);
    if (control == nullptr)
        return std::string();
    char text[8192] = "";
    LRESULT length = SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return std::string(text, length > 0 ? (size_t)length : 0);
}

void PressButton(HWND dialog, int button_id)
{
    HWND button = GetDlgItem(dialog, button_id);
    if (button != nullptr)
        PostMessageA(button, BM_CLICK, 0, 0);
}

PromptAnswerer::PromptAnswerer(const char *caption)
    : caption_(caption), thread_(&PromptAnswerer::Watch, this)
{
}

PromptAnswerer::~PromptAnswerer()
{
    stop_ = true;
    thread_.join();
}

void PromptAnswerer::Queue(int button_id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(button_id);
}

void PromptAnswerer::Queue(int button_id, int times)
{
    for (int i = 0; i < times; ++i)
        Queue(button_id);
}

std::vector<std::string> PromptAnswerer::Texts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

int PromptAnswerer::Count()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return (int)texts_.size();
}

int PromptAnswerer::UnexpectedCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return unexpected_;
}

int PromptAnswerer::UnusedAnswers()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return (int)answers_.size();
}

void PromptAnswerer::Watch()
{
    while (!stop_) {
        HWND box = WaitForWindow("#32770", caption_.c_str(), 50);
        if (box == nullptr)
            continue;
        std::string text = ReadControlText(box, MESSAGE_BOX_TEXT_ID);
        int button = IDABORT;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
            if (answers_.empty()) {
                ++unexpected_;
            } else {
                button = answers_.front();
                answers_.pop_front();
            }
        }
        if (GetDlgItem(box, button) != nullptr)
            PressButton(box, button);
        else
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        WaitForWindowGone(box, 5000);
    }
}

void ExpectAllPromptsAnswered(PromptAnswerer &answerer)
{
    EXPECT_EQ(answerer.UnexpectedCount(), 0) << "a message box came that the test did not expect";
    EXPECT_EQ(answerer.UnusedAnswers(), 0) << "an expected message box never came";
}
