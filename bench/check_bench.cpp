// /check benchmark: RunCheck on a PC with twenty registered JREs, each a home
// of 200 files in 20 folders with this version's files in place and the
// record's SHA-256 to compare them with, against a bare loop that reads only
// what the check must: the security of every entry of the homes' trees and of
// the folders above them, as the walk reads it, and the bytes of each file
// that it compares. Prints each run and the median in ms:
//   check_bench PACKAGE_DIR HOMES_DIR RUNS
#include "shell.h"

#include <windows.h>
#include <aclapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char JAVASOFT[] = "SOFTWARE\\JavaSoft";
const char RECORD_FOLDER[] = "C:\\Program Files\\Instalator czytnika kart";
const int HOMES = 20;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool WriteText(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL);
    CloseHandle(file);
    return ok != 0;
}

struct World {
    std::vector<std::string> secured;   // every entry whose security the walk reads
    std::vector<std::string> compared;  // every file that the check hashes
    std::string record;
};

void AddRecordLine(World *world, const std::string &path)
{
    RecordEntry entry = {};
    char line[RECORD_LINE_SIZE];
    entry.kind = RECORD_NEW;
    entry.left = 1;
    CopyTextBounded(entry.path, sizeof entry.path, path.c_str());
    size_t length = HashFileSha256(path.c_str(), entry.digest)
                        ? FormatRecordLine(&entry, line, sizeof line)
                        : 0;
    world->record.append(line, length);
}

// A JRE home with this version's files and a tree of 200 files in 20 folders.
bool MakeHome(World *world, const std::string &package, const std::string &home,
              const std::string &name, bool recorded)
{
    for (const char *dir : {"", "\\bin", "\\lib", "\\lib\\ext", "\\lib\\security"})
        if (!CreateDirectoryA((home + dir).c_str(), NULL))
            return false;
    world->secured.insert(world->secured.end(), {home + "\\bin", home + "\\lib",
                                                 home + "\\lib\\ext", home + "\\lib\\security"});
    for (int i = 0; i < 20; ++i) {
        std::string folder = home + "\\lib\\d" + std::to_string(i);
        if (!CreateDirectoryA(folder.c_str(), NULL))
            return false;
        world->secured.push_back(folder);
        for (int file = 0; file < 10; ++file) {
            std::string path = folder + "\\f" + std::to_string(file) + ".class";
            if (!WriteText(path, std::string(2048, 'x')))
                return false;
            world->secured.push_back(path);
        }
    }
    for (const char *file : {"ocf1.2.jar", "opencard.properties", "java.policy"}) {
        std::string target = home + (file[0] == 'o' && file[1] == 'c' ? "\\lib\\ext\\"
                                     : file[0] == 'j'                  ? "\\lib\\security\\"
                                                                       : "\\lib\\") +
                             file;
        if (!CopyFileA((package + "\\sun\\" + file).c_str(), target.c_str(), FALSE))
            return false;
        world->secured.push_back(target);
        world->compared.push_back(target);
        if (recorded)
            AddRecordLine(world, target);
    }
    std::string key_path = std::string(JAVASOFT) + "\\Java Runtime Environment\\" + name;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(key, "JavaHome", 0, REG_SZ, (const BYTE *)home.c_str(),
                              (DWORD)home.size() + 1);
    RegCloseKey(key);
    // The walk reads the home and each folder above it too.
    for (size_t at = home.find('\\'); at != std::string::npos; at = home.find('\\', at + 1))
        world->secured.push_back(home.substr(0, at + 1));
    world->secured.push_back(home);
    return set == ERROR_SUCCESS;
}

// The bridge libraries in `folder`, each copied from the package's `sources`.
bool PlaceBridges(World *world, const std::string &package, const std::string &folder,
                  const std::vector<std::pair<const char *, const char *>> &files)
{
    for (const auto &file : files) {
        std::string target = folder + "\\" + file.first;
        if (!CopyFileA((package + "\\sun\\" + file.second).c_str(), target.c_str(), FALSE))
            return false;
        world->compared.push_back(target);
        AddRecordLine(world, target);
    }
    return true;
}

bool Register(const World &world)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    CreateDirectoryA(RECORD_FOLDER, NULL);
    return WriteText(std::string(RECORD_FOLDER) + "\\record.txt", world.record);
}

double BareReadsMs(const World &world, double frequency)
{
    static char block[16384];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const std::string &path : world.secured) {
        HANDLE file = CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        PSECURITY_DESCRIPTOR descriptor = NULL;
        PSID owner;
        PACL dacl;
        if (file == INVALID_HANDLE_VALUE ||
            GetSecurityInfo(file, SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, NULL,
                            &dacl, NULL, &descriptor) != ERROR_SUCCESS)
            return -1;
        LocalFree(descriptor);
        CloseHandle(file);
    }
    for (const std::string &path : world.compared) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
        DWORD count = 0;
        if (file == INVALID_HANDLE_VALUE)
            return -1;
        while (ReadFile(file, block, sizeof block, &count, NULL) && count > 0) {
        }
        CloseHandle(file);
    }
    QueryPerformanceCounter(&end);
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / frequency;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: check_bench PACKAGE_DIR HOMES_DIR RUNS\n");
        return 2;
    }
    std::string package = argv[1];
    std::string homes = argv[2];
    int runs = atoi(argv[3]);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    char system[PATH_BUFFER_SIZE];
    World world;

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
    CreateDirectoryA(homes.c_str(), NULL);
    std::string last;
    for (int i = 0; i < HOMES; ++i) {
        std::string name = "1.8.0_" + std::to_string(100 + i);
        last = homes + "\\jre" + name;
        if (!MakeHome(&world, package, last, name, i == 0)) {
            fprintf(stderr, "cannot make Java home %d\n", i);
            return 1;
        }
    }
    if (!ReadSystemDirectory(system, sizeof system) ||
        !PlaceBridges(&world, package, last + "\\lib\\ext",
                      {{"ocfpcsc1.dll", "ocfpcsc1.dll"}, {"ocfpcsc1_64.dll", "ocfpcsc1_64.dll"}}) ||
        !PlaceBridges(&world, package, system,
                      {{"ocfpcsc1.dll", "ocfpcsc1.dll"},
                       {"ocfpcsc164.dll", "ocfpcsc1.dll"},
                       {"ocfpcsc1_64.dll", "ocfpcsc1_64.dll"}}) ||
        !Register(world)) {
        fprintf(stderr, "cannot place the files or register\n");
        return 1;
    }
    RunLog log = {INVALID_HANDLE_VALUE, {0, 0, 0, 0}};
    StartRunLog(&log);
    std::vector<double> check_ms, bare_ms;
    int code = -1;
    for (int run = 1; run <= runs; ++run) {
        bare_ms.push_back(BareReadsMs(world, (double)frequency.QuadPart));
        char reason[REASON_SIZE] = "";
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        code = RunCheck(INVALID_HANDLE_VALUE, reason);
        QueryPerformanceCounter(&end);
        check_ms.push_back((double)(end.QuadPart - start.QuadPart) * 1000.0 /
                           (double)frequency.QuadPart);
    }
    // Where the time goes: the walks of the homes, and the hashes.
    LARGE_INTEGER start, middle, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < HOMES; ++i)
        IsTreeTrusted((homes + "\\jre1.8.0_" + std::to_string(100 + i)).c_str());
    QueryPerformanceCounter(&middle);
    for (const std::string &path : world.compared) {
        unsigned char digest[SHA256_SIZE];
        HashFileSha256(path.c_str(), digest);
    }
    QueryPerformanceCounter(&end);
    printf("of which: walks %.1f ms, hashes %.1f ms\n",
           (double)(middle.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart,
           (double)(end.QuadPart - middle.QuadPart) * 1000.0 / (double)frequency.QuadPart);
    printf("check, %d homes  exit code %d  runs:", HOMES, code);
    for (double value : check_ms)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\nbare reads, %zu security reads, %zu files read  runs:",
           Median(check_ms), world.secured.size(), world.compared.size());
    for (double value : bare_ms)
        printf(" %.1f", value);
    printf("  median_ms: %.1f\ncheck / bare reads: %.2fx\n", Median(bare_ms),
           Median(check_ms) / Median(bare_ms));

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_WOW64_64KEY, 0);
    DeleteFileA((std::string(RECORD_FOLDER) + "\\record.txt").c_str());
    RemoveDirectoryA(RECORD_FOLDER);
    for (const char *name : {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
        DeleteFileA((std::string(system) + "\\" + name).c_str());
    return code == 0 ? 0 : 1;
}
