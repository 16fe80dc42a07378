// Tree copy benchmark: CopyTree of SOURCE_PARENT\tree into a new, empty target
// directory, against xcopy /E /I /Y of the same tree in the same prefix, RUNS
// times each, alternating. Prints each run and the median in milliseconds:
//   copy_tree_bench SOURCE_PARENT TARGET_BASE RUNS
// xcopy's figure includes starting its process, as it would for a caller;
// xcopy-0, the xcopy of the empty directory SOURCE_PARENT\empty, shows that part.
// CopyFileA is the floor of any copy built on it: the same directories and
// files from a list made beforehand, with no search and no attribute calls.
#include "fileops.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool TimeCopyTree(const std::string &target, double *ms)
{
    if (!CreateDirectoryA(target.c_str(), NULL))
        return false;
    char failed[PATH_BUFFER_SIZE];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    int result = CopyTree("tree\\*", target.c_str(), 1, failed);
    QueryPerformanceCounter(&end);
    if (result != COPY_OK) {
        fprintf(stderr, "CopyTree: result %d at %s\n", result, failed);
        return false;
    }
    *ms = Milliseconds(start, end);
    return true;
}

bool TimeXcopy(const char *source, const std::string &target, double *ms)
{
    char system_dir[MAX_PATH];
    GetSystemDirectoryA(system_dir, sizeof system_dir);
    std::string command = std::string(system_dir) + "\\xcopy.exe " + source + " \"" + target + "\" /E /I /Y /Q";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE null_device = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, NULL);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = null_device;
    startup.hStdError = null_device;
    startup.hStdInput = null_device;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                  &process);
    DWORD exit_code = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        QueryPerformanceCounter(&end);
        GetExitCodeProcess(process.hProcess, &exit_code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(null_device);
    if (!started || exit_code != 0) {
        fprintf(stderr, "xcopy: %s\n", started ? "non-zero exit code" : "cannot start");
        return false;
    }
    *ms = Milliseconds(start, end);
    return true;
}

struct Entry {
    std::string relative;
    bool directory;
};

void ListTree(const std::string &relative, std::vector<Entry> *entries)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(("tree" + relative + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries->push_back({relative + "\\" + name, directory});
        if (directory)
            ListTree(relative + "\\" + name, entries);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool TimePlainCopies(const std::vector<Entry> &entries, const std::string &target, double *ms)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = CreateDirectoryA(target.c_str(), NULL) != 0;
    for (const Entry &entry : entries) {
        std::string to = target + entry.relative;
        ok = ok && (entry.directory ? CreateDirectoryA(to.c_str(), NULL)
                                    : CopyFileA(("tree" + entry.relative).c_str(), to.c_str(), FALSE));
    }
    QueryPerformanceCounter(&end);
    if (!ok)
        fprintf(stderr, "CopyFileA: error %lu\n", GetLastError());
    *ms = Milliseconds(start, end);
    return ok;
}

void Print(const char *name, const std::vector<double> &values)
{
    printf("%-9s runs:", name);
    for (double value : values)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\n", Median(values));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: copy_tree_bench SOURCE_PARENT TARGET_BASE RUNS\n");
        return 2;
    }
    if (!SetCurrentDirectoryA(argv[1])) {
        fprintf(stderr, "cannot enter %s\n", argv[1]);
        return 1;
    }
    int runs = atoi(argv[3]);
    std::vector<double> copy_tree_ms, xcopy_ms, xcopy_empty_ms, plain_ms;
    std::vector<Entry> entries;
    ListTree("", &entries);
    for (int run = 1; run <= runs; ++run) {
        double ms;
        std::string base = std::string(argv[2]) + "\\";
        if (!TimeCopyTree(base + "copytree_" + std::to_string(run), &ms))
            return 1;
        copy_tree_ms.push_back(ms);
        if (!TimeXcopy("tree", base + "xcopy_" + std::to_string(run), &ms))
            return 1;
        xcopy_ms.push_back(ms);
        if (!TimeXcopy("empty", base + "xcopy_empty_" + std::to_string(run), &ms))
            return 1;
        xcopy_empty_ms.push_back(ms);
        if (!TimePlainCopies(entries, base + "plain_" + std::to_string(run), &ms))
            return 1;
        plain_ms.push_back(ms);
    }
    Print("CopyTree", copy_tree_ms);
    Print("xcopy", xcopy_ms);
    Print("xcopy-0", xcopy_empty_ms);
    Print("CopyFileA", plain_ms);
    return 0;
}
