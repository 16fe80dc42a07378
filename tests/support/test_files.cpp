#include "test_files.h"

#include <stdio.h>

std::string JoinPath(const std::string &a, const std::string &b)
{
    if (a.empty())
        return b;
    if (*CharPrevA(a.c_str(), a.c_str() + a.size()) == '\\')
        return a + b;
    return a + "\\" + b;
}

ScratchDir::ScratchDir()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter = 0;
    // Wine gives a later process the same id: the start time keeps the names,
    // and what the registry holds about them (shared counts), apart.
    static const DWORD start = GetTickCount();
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "t%lu_%lx_%u", GetCurrentProcessId(), start, counter++);
        path_ = JoinPath(temp, name);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
}

ScratchDir::~ScratchDir()
{
    RemoveTree(path_);
}

CurrentDirectory::CurrentDirectory(const std::string &path) : saved_(Get())
{
    SetCurrentDirectoryA(path.c_str());
}

CurrentDirectory::~CurrentDirectory()
{
    SetCurrentDirectoryA(saved_.c_str());
}

std::string CurrentDirectory::Get()
{
    char path[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

bool WriteTextFile(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size();
}

std::string ReadTextFile(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    CloseHandle(file);
    return content;
}

bool FileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectories(const std::string &path)
{
    if (DirectoryExists(path))
        return true;
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && slash > 2)
        MakeDirectories(path.substr(0, slash));
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveTree(const std::string &path)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(JoinPath(path, "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = JoinPath(path, name);
            // A link goes itself, never what it leads to.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryA(child.c_str()))
                    DeleteFileA(child.c_str());
                continue;
            }
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

DWORD Attributes(const std::string &path)
{
    return GetFileAttributesA(path.c_str());
}

void SetReadOnly(const std::string &path, bool read_only)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (read_only)
        attributes |= FILE_ATTRIBUTE_READONLY;
    else
        attributes &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(path.c_str(), attributes);
}

void SetWriteTime(const std::string &path, int year, int month, int day, int hour, int minute,
                  int second)
{
    SYSTEMTIME time = {};
    time.wYear = (WORD)year;
    time.wMonth = (WORD)month;
    time.wDay = (WORD)day;
    time.wHour = (WORD)hour;
    time.wMinute = (WORD)minute;
    time.wSecond = (WORD)second;
    FILETIME file_time;
    SystemTimeToFileTime(&time, &file_time);
    bool read_only = Attributes(path) & FILE_ATTRIBUTE_READONLY;
    if (read_only)
        SetReadOnly(path, false);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        SetFileTime(file, nullptr, nullptr, &file_time);
        CloseHandle(file);
    }
    if (read_only)
        SetReadOnly(path, true);
}

std::string SystemDirectory()
{
    char path[MAX_PATH] = "";
    GetSystemDirectoryA(path, sizeof path);
    return path;
}

std::string WindowsDirectory()
{
    char path[MAX_PATH] = "";
    GetWindowsDirectoryA(path, sizeof path);
    return path;
}
