// Real files for tests: a scratch directory that removes itself, and small
// helpers to write, read and stamp files.
#ifndef TESTS_TEST_FILES_H
#define TESTS_TEST_FILES_H

#include <windows.h>

#include <string>

std::string JoinPath(const std::string &a, const std::string &b);

// A fresh directory under the user's temporary directory, removed with all its
// content (read-only files included) when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &relative) const { return JoinPath(path_, relative); }

private:
    std::string path_;
};

// Changes the current directory for one scope and restores it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string &path);
    ~CurrentDirectory();
    static std::string Get();

private:
    std::string saved_;
};

bool WriteTextFile(const std::string &path, const std::string &content);
std::string ReadTextFile(const std::string &path);
bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);
bool MakeDirectories(const std::string &path);
void RemoveTree(const std::string &path);
DWORD Attributes(const std::string &path);
void SetReadOnly(const std::string &path, bool read_only);
// Stamps the last-write time, in UTC.
void SetWriteTime(const std::string &path, int year, int month, int day, int hour, int minute,
                  int second);
std::string SystemDirectory();
std::string WindowsDirectory();

#endif
