// Java Plug-in step benchmark: InstallJavaPluginComponents with 1, 4 and 16
// registered JREs, without and with the way back's record as a run keeps it
// (from an empty record on), each a fresh home with an existing policy and the test
// launcher as bin\java.exe (the policy commands run for the first home only:
// both succeed there). Then IsTreeTrusted, the walk that decides whether a
// home is ours to write into, over one home of 1,000 files in 100 folders,
// against the step's time per home of 16, and against a bare loop that opens
// each folder and file of the same tree and reads its security as the walk
// does, in one call (the open is the bound). Prints each run and the median
// in ms:
//   java_plugin_bench PACKAGE_DIR LAUNCHER HOMES_DIR RUNS
#include "components.h"
#include "fileops.h"
#include "wayback.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char JAVASOFT[] = "SOFTWARE\\JavaSoft";

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool WriteText(const std::string &path, const char *text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(file);
    return ok != 0;
}

// A JRE home with lib\ext, an existing lib\security\java.policy and the
// launcher, registered under "Java Runtime Environment\<name>".
bool MakeHome(const std::string &home, const std::string &name, const char *launcher)
{
    for (const char *dir : {"", "\\bin", "\\lib", "\\lib\\ext", "\\lib\\security"})
        if (!CreateDirectoryA((home + dir).c_str(), NULL))
            return false;
    if (!CopyFileA(launcher, (home + "\\bin\\java.exe").c_str(), FALSE) ||
        !WriteText(home + "\\lib\\security\\java.policy", "grant { };\r\n"))
        return false;
    std::string key_path = std::string(JAVASOFT) + "\\Java Runtime Environment\\" + name;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(key, "JavaHome", 0, REG_SZ, (const BYTE *)home.c_str(),
                              (DWORD)home.size() + 1);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

// 10 folders with 9 subfolders each, 10 files in every folder.
bool MakeTree(const std::string &root)
{
    bool made = CreateDirectoryA(root.c_str(), NULL);
    for (int i = 0; made && i < 100; ++i) {
        std::string folder = root + "\\d" + std::to_string(i / 10);
        if (i % 10 != 0)
            folder += "\\s" + std::to_string(i % 10);
        made = CreateDirectoryA(folder.c_str(), NULL);
        for (int file = 0; made && file < 10; ++file)
            made = WriteText(folder + "\\f" + std::to_string(file) + ".jar", "");
    }
    return made;
}

// Every folder and file of MakeTree's tree.
std::vector<std::string> TreeEntries(const std::string &root)
{
    std::vector<std::string> entries;
    for (int i = 0; i < 100; ++i) {
        std::string folder = root + "\\d" + std::to_string(i / 10);
        if (i % 10 != 0)
            folder += "\\s" + std::to_string(i % 10);
        entries.push_back(folder);
        for (int file = 0; file < 10; ++file)
            entries.push_back(folder + "\\f" + std::to_string(file) + ".jar");
    }
    return entries;
}

double BareSecurityReadsMs(const std::vector<std::string> &entries, double frequency)
{
    static unsigned char descriptor[0x10000 + 256];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const std::string &path : entries) {
        HANDLE file = CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        DWORD size;
        if (file == INVALID_HANDLE_VALUE ||
            !GetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                     descriptor, sizeof descriptor, &size))
            return -1;
        CloseHandle(file);
    }
    QueryPerformanceCounter(&end);
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / frequency;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: java_plugin_bench PACKAGE_DIR LAUNCHER HOMES_DIR RUNS\n");
        return 2;
    }
    CaptureProgramImage();
    const char *package = argv[1];
    const char *launcher = argv[2];
    std::string homes = argv[3];
    int runs = atoi(argv[4]);
    CreateDirectoryA(homes.c_str(), NULL);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    double step_ms[2] = {0, 0}, one_home_ms[2] = {0, 0};
    for (int recorded : {0, 1})
    for (int count : {1, 4, 16}) {
        std::vector<double> ms;
        int result = -1;
        for (int run = 1; run <= runs; ++run) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
            std::string base =
                homes + "\\homes" + std::to_string(count) + "_" + std::to_string(run) + "_" +
                std::to_string(recorded);
            if (!CreateDirectoryA(base.c_str(), NULL))
                return 1;
            for (int i = 0; i < count; ++i) {
                std::string name = "1.8.0_" + std::to_string(100 + i);
                if (!MakeHome(base + "\\jre" + name, name, launcher)) {
                    fprintf(stderr, "cannot make Java home %d\n", i);
                    return 1;
                }
            }
            char message[592] = "";
            if (!SetCurrentDirectoryA(package))
                return 1;
            LARGE_INTEGER start, end;
            // With the way back kept as a run keeps it, from an empty record on.
            Recording recording;
            char folder[PATH_BUFFER_SIZE];
            QueryPerformanceCounter(&start);
            StartRecording(&recording);
            SetRunListener(recorded ? RecordRunEvent : NULL, &recording);
            result = InstallJavaPluginComponents(message, sizeof message);
            SetRunListener(NULL, NULL);
            FinishRecording(&recording, 1);
            QueryPerformanceCounter(&end);
            if (ReadRecordFolder(folder))
                Unregister(folder);
            if (result != RESULT_OK && result != RESULT_WARNING) {
                fprintf(stderr, "result %d: %s\n", result, message);
                return 1;
            }
            ms.push_back((double)(end.QuadPart - start.QuadPart) * 1000.0 /
                         (double)frequency.QuadPart);
        }
        printf("record %d  homes %2d  result %d  runs:", recorded, count, result);
        for (double value : ms)
            printf(" %.1f", value);
        printf("  median_ms: %.1f\n", Median(ms));
        step_ms[recorded] = Median(ms) / count;
        if (count == 1)
            one_home_ms[recorded] = Median(ms);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);

    std::string tree = homes + "\\tree";
    if (!MakeTree(tree))
        return 1;
    std::vector<double> walk_ms, bare_ms;
    std::vector<std::string> entries = TreeEntries(tree);
    int trusted = 0;
    for (int run = 1; run <= runs; ++run) {
        bare_ms.push_back(BareSecurityReadsMs(entries, (double)frequency.QuadPart));
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        trusted = IsTreeTrusted(tree.c_str());
        QueryPerformanceCounter(&end);
        walk_ms.push_back((double)(end.QuadPart - start.QuadPart) * 1000.0 /
                          (double)frequency.QuadPart);
    }
    printf("home walk, 1,000 files in 100 folders  trusted %d  runs:", trusted);
    for (double value : walk_ms)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\nwalk per home %.1f ms, Java step per home of 16 %.1f ms\n",
           Median(walk_ms), Median(walk_ms), step_ms[1]);
    // What each home adds, the run's fixed part (the package's copy) left out.
    printf("Java step per home without the record: %.1f ms\n"
           "Java step per home with the record: %.1f ms\n",
           (step_ms[0] * 16 - one_home_ms[0]) / 15, (step_ms[1] * 16 - one_home_ms[1]) / 15);
    printf("bare security reads, %zu entries  runs:", entries.size());
    for (double value : bare_ms)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\nhome walk / bare security reads: %.2fx\n", Median(bare_ms),
           Median(walk_ms) / Median(bare_ms));
    return trusted ? 0 : 1;
}
