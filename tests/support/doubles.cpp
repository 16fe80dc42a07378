#include "doubles.h"

#include "test_files.h"

#include <windows.h>

const char WINSCARD_DOUBLE_KEY[] = "Software\\InstalatorTests\\Winscard";

std::string TestProgramDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory = path;
    return directory.substr(0, directory.find_last_of('\\'));
}

std::string DoublePath(const std::string &name)
{
    return JoinPath(JoinPath(TestProgramDirectory(), "doubles"), name);
}

static std::string RecordBase(const std::string &path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('\\');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path;
    return path.substr(0, dot);
}

bool PlaceRecordingProgram(const std::string &path)
{
    MakeDirectories(path.substr(0, path.find_last_of('\\')));
    return CopyFileA(DoublePath("recording_program.exe").c_str(), path.c_str(), FALSE) != 0;
}

bool SetRecordedExitCodes(const std::string &path, const std::string &codes)
{
    return WriteTextFile(RecordBase(path) + ".exit", codes);
}

std::vector<std::string> RecordedCalls(const std::string &path)
{
    std::vector<std::string> lines;
    std::string content = ReadTextFile(RecordBase(path) + ".calls");
    if (content == "<missing>")
        return lines;
    size_t start = 0;
    size_t end;
    while ((end = content.find("\r\n", start)) != std::string::npos) {
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

SystemWinscard::SystemWinscard(bool place_double)
{
    Reset();
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    saved_ = JoinPath(temp, "winscard.saved." + std::to_string(GetCurrentProcessId()));
    had_original_ = CopyFileA(SystemPath().c_str(), saved_.c_str(), FALSE) != 0;
    if (place_double)
        placed_ = CopyFileA(DoublePath("winscard.dll").c_str(), SystemPath().c_str(), FALSE) != 0;
}

SystemWinscard::~SystemWinscard()
{
    if (had_original_) {
        CopyFileA(saved_.c_str(), SystemPath().c_str(), FALSE);
        DeleteFileA(saved_.c_str());
    } else {
        DeleteFileA(SystemPath().c_str());
    }
    Reset();
}

std::string SystemWinscard::SystemPath()
{
    return JoinPath(SystemDirectory(), "winscard.dll");
}

void SystemWinscard::Reset()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, WINSCARD_DOUBLE_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\InstalatorTests");
}

static HKEY OpenDoubleKey()
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, WINSCARD_DOUBLE_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    return key;
}

void SystemWinscard::SetReaders(const std::string &multi_string)
{
    HKEY key = OpenDoubleKey();
    RegSetValueExA(key, "Readers", 0, REG_BINARY, (const BYTE *)multi_string.data(),
                   (DWORD)multi_string.size());
    RegCloseKey(key);
}

void SystemWinscard::SetMode(unsigned long mode)
{
    HKEY key = OpenDoubleKey();
    DWORD value = mode;
    RegSetValueExA(key, "Mode", 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
}

std::string SystemWinscard::LoadedFrom()
{
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    if (RegGetValueA(HKEY_CURRENT_USER, WINSCARD_DOUBLE_KEY, "LoadedFrom", RRF_RT_REG_SZ, nullptr,
                     path, &size) != ERROR_SUCCESS)
        return std::string();
    return path;
}
