#include "windows_ui.h"

#include <tlhelp32.h>

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

bool WaitUntil(const std::function<bool()> &done, int timeout_ms)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(10)) {
        if ((int)(GetTickCount() - start) >= timeout_ms)
            return done();
    }
    return true;
}

HWND WaitForWindow(const char *class_name, const char *caption, int timeout_ms)
{
    WindowQuery query = {class_name, caption, nullptr};
    WaitUntil([&] { return EnumWindows(MatchWindow, (LPARAM)&query), query.found != nullptr; },
              timeout_ms);
    return query.found;
}

bool WaitForWindowGone(HWND window, int timeout_ms)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
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

MessageBoxLook LookOf(HWND box)
{
    MessageBoxLook look = {nullptr, 0};
    HWND icon = GetDlgItem(box, MESSAGE_BOX_ICON_ID);
    if (icon == nullptr)
        icon = GetDlgItem(box, WINE_MESSAGE_BOX_ICON_ID);
    if (icon != nullptr && IsWindowVisible(icon))
        look.icon = reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0));
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button != nullptr && (GetWindowLongA(button, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON)
            look.default_button = id;
    }
    return look;
}

std::wstring ReadWindowTextW(HWND window)
{
    wchar_t text[4096] = L"";
    int length = GetWindowTextW(window, text, 4096);
    return std::wstring(text, length > 0 ? length : 0);
}

std::wstring ReadControlTextW(HWND dialog, int control_id)
{
    HWND control = GetDlgItem(dialog, control_id);
    if (control == nullptr)
        return std::wstring();
    wchar_t text[8192] = L"";
    LRESULT length = SendMessageW(control, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(text));
    return std::wstring(text, length > 0 ? (size_t)length : 0);
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

void PromptAnswerer::Queue(int button_id, std::function<void()> before)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(button_id, before);
}

void PromptAnswerer::Queue(int button_id, int times)
{
    for (int i = 0; i < times; ++i)
        Queue(button_id);
}

std::vector<MessageBoxLook> PromptAnswerer::Looks()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return looks_;
}

std::vector<std::string> PromptAnswerer::Texts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

std::vector<std::wstring> PromptAnswerer::WideTexts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return wide_texts_;
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
        MessageBoxLook look = LookOf(box);
        std::wstring wide_text = ReadControlTextW(box, MESSAGE_BOX_TEXT_ID);
        int button = IDABORT;
        std::function<void()> before;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            texts_.push_back(text);
            looks_.push_back(look);
            wide_texts_.push_back(wide_text);
            if (answers_.empty()) {
                ++unexpected_;
            } else {
                button = answers_.front().first;
                before = answers_.front().second;
                answers_.pop_front();
            }
        }
        if (before)
            before();
        if (GetDlgItem(box, button) != nullptr)
            PressButton(box, button);
        else
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        WaitForWindowGone(box);
    }
}

void ExpectAllPromptsAnswered(PromptAnswerer &answerer)
{
    EXPECT_EQ(answerer.UnexpectedCount(), 0) << "a message box came that the test did not expect";
    EXPECT_EQ(answerer.UnusedAnswers(), 0) << "an expected message box never came";
}

std::string WindowsPath(const std::string &path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path;
    std::string windows = "Z:" + path;
    for (char &c : windows) {
        if (c == '/')
            c = '\\';
    }
    return windows;
}

bool IsButtonChecked(HWND dialog, int control_id)
{
    return SendMessageA(GetDlgItem(dialog, control_id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsControlVisible(HWND dialog, int control_id)
{
    return (GetWindowLongA(GetDlgItem(dialog, control_id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsControlEnabled(HWND dialog, int control_id)
{
    return IsWindowEnabled(GetDlgItem(dialog, control_id)) != FALSE;
}

HWND FocusOfThread(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

int WaitForFocus(HWND dialog, int control_id, int timeout_ms)
{
    WaitUntil([&] { return FocusOfThread(dialog) == GetDlgItem(dialog, control_id); }, timeout_ms);
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, timeout_ms, nullptr);
    return GetDlgCtrlID(FocusOfThread(dialog));
}

void PressKeys(const std::vector<WORD> &keys)
{
    std::vector<INPUT> inputs(2 * keys.size());
    for (size_t down = 0, up = inputs.size() - 1; down < keys.size(); ++down, --up) {
        inputs[down].type = inputs[up].type = INPUT_KEYBOARD;
        inputs[down].ki.wVk = inputs[up].ki.wVk = keys[down];
        inputs[up].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

std::string ComboItemText(HWND dialog, int control_id, int index)
{
    HWND combo = GetDlgItem(dialog, control_id);
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length > 1000)
        return "<none>";
    // Wine hands CB_GETLBTEXT across processes as Unicode whichever variant
    // was sent, so ask for Unicode and convert to the ANSI code page.
    wchar_t wide[1024] = L"";
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide));
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

namespace {

bool SaveScreenArea(const RECT &area, const std::string &path)
{
    bool saved = false;
    HDC screen = GetDC(nullptr);
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD row = ((DWORD)width * 3 + 3) & ~3u;
    std::vector<BYTE> pixels((size_t)row * height);
    if (GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO *>(&info),
                  DIB_RGB_COLORS) == height) {
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info;
        file.bfSize = file.bfOffBits + (DWORD)pixels.size();
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            saved = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                    WriteFile(out, &info, sizeof info, &written, nullptr) &&
                    WriteFile(out, pixels.data(), (DWORD)pixels.size(), &written, nullptr);
            CloseHandle(out);
        }
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

} // namespace

bool SaveScreenshot(const std::string &path)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return SaveScreenArea(screen, path);
}

bool SaveWindowScreenshot(HWND window, const std::string &path)
{
    RECT area = {};
    if (!GetWindowRect(window, &area) || area.right <= area.left || area.bottom <= area.top)
        return false;
    return SaveScreenArea(area, path);
}

void SaveStateScreenshot(const char *state)
{
#ifdef TEST_ARTIFACTS_DIR
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test != nullptr
                           ? std::string(test->test_suite_name()) + "." + test->name()
                           : std::string("no-test");
    for (char &c : name) {
        if (c == '/')
            c = '_';
    }
    std::string directory = WindowsPath(TEST_ARTIFACTS_DIR);
    CreateDirectoryA(directory.c_str(), nullptr);
    SaveScreenshot(directory + "\\" + name + "-" + state + ".bmp");
#else
    (void)state;
#endif
}

ChildProcess::ChildProcess(const std::string &program, const std::string &directory,
                           const std::string &arguments, HANDLE output)
{
    std::string command = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = output != nullptr ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = output;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                       directory.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (process_ == nullptr)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

DWORD ChildProcess::WaitForExit(int timeout_ms)
{
    if (process_ == nullptr || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool HasRunningChild(DWORD parent_id)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return true;
    bool found = false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry)) {
        // Wine's desktop, started by the first GUI program when none is open,
        // outlives it: not a program that the parent chose to start.
        found = entry.th32ParentProcessID == parent_id &&
                lstrcmpiA(entry.szExeFile, "explorer.exe") != 0;
    }
    CloseHandle(snapshot);
    return found;
}

namespace {

struct ProcessWindowQuery {
    DWORD process_id;
    WindowQuery query;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter)
{
    ProcessWindowQuery *query = reinterpret_cast<ProcessWindowQuery *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->process_id)
        return TRUE;
    return MatchWindow(window, reinterpret_cast<LPARAM>(&query->query));
}

} // namespace

HWND WaitForProcessWindow(DWORD process_id, const char *class_name, const char *caption,
                          int timeout_ms)
{
    ProcessWindowQuery query = {process_id, {class_name, caption, nullptr}};
    HWND &found = query.query.found;
    WaitUntil([&] { return EnumWindows(MatchProcessWindow, (LPARAM)&query), found != nullptr; },
              timeout_ms);
    return found;
}

bool WaitForText(HWND dialog, int control_id, const std::string &text, int timeout_ms)
{
    return WaitUntil([&] { return ReadControlText(dialog, control_id) == text; }, timeout_ms);
}
