// instalator.exe started with a command line, as deployment engines start it:
// one JRE whose java.exe records its calls, a driver installer that leaves a
// mark. A quiet run must end with nobody at the screen: any window of it
// fails the test.
#include "doubles.h"
#include "fileops.h"
#include "installer_session.h"
#include "resource.h"
#include "wayback.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

const char SESSION_MANAGER[] = "System\\CurrentControlSet\\Control\\Session Manager";

const char PROGRAM_COPY[] = "C:\\Program Files\\Instalator czytnika kart\\instalator.exe";
const std::string RECORD_FOLDER = "C:\\Program Files\\Instalator czytnika kart";
const std::string MSI_FOLDER = "C:\\Program Files\\Pakiet instalatora czytnika kart";

const wchar_t SESSION_MANAGER_W[] = L"System\\CurrentControlSet\\Control\\Session Manager";

std::wstring PendingRenames()
{
    static wchar_t value[131072];
    DWORD size = sizeof value - 4;
    return RegGetValueW(HKEY_LOCAL_MACHINE, SESSION_MANAGER_W, L"PendingFileRenameOperations",
                        RRF_RT_REG_MULTI_SZ, nullptr, value, &size) == ERROR_SUCCESS
               ? std::wstring(value, size / 2)
               : L"";
}

// Open as a running Java holds a loaded library: read, sharing reads only.
HANDLE Hold(const std::string &file)
{
    return CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

bool WaitForFile(const std::string &file)
{
    return WaitUntil([&] { return FileExists(file); });
}

// Wine carries out what was queued as Windows does at a restart.
void Restart(const std::string &folder)
{
    ChildProcess restart(JoinPath(SystemDirectory(), "wineboot.exe"), folder, "-r");
    EXPECT_EQ(restart.WaitForExit(60000), 0u);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
}

class Unattended : public Installer {
protected:
    void SetUp() override
    {
        Installer::SetUp();
        jre = machine / "jre";
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
        RegisterJavaHome(jre, "", "Java Runtime Environment");
        started = machine / "driver-started.txt";
        // Wine tells Windows 7: the second row.
        ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin64.bat",
                                  "@echo started %INSTALATOR_QUIET%.>\"" + started + "\"\r\n"));
        log = machine / "install.log";
    }

    DWORD Run(const std::string &command_line)
    {
        arguments = command_line;
        Start();
        return WaitWithoutAWindow();
    }

    // The registered copy's /check with its output into `output`, as a
    // detection script starts it.
    DWORD Check(const std::string &output)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, 0, nullptr);
        process.reset(new ChildProcess(PROGRAM_COPY, machine.path(),
                                       "/check /log:\"" + log + "\"", file));
        CloseHandle(file);
        return WaitWithoutAWindow();
    }

    DWORD WaitWithoutAWindow()
    {
        for (int waited = 0; waited < 60000; waited += 50) {
            DWORD code = process->WaitForExit(50);
            if (code != STILL_ACTIVE)
                return code;
            HWND window = WaitForProcessWindow(process->id(), nullptr, nullptr, 0);
            if (window != nullptr) {
                ADD_FAILURE() << "a window: " << ReadWindowText(window);
                break;
            }
        }
        return STILL_ACTIVE;
    }

    // The report file in the tests' Windows-1250, after its UTF-8 mark.
    std::string Log()
    {
        const std::string utf8 = ReadTextFile(log);
        if (utf8.compare(0, 3, "\xEF\xBB\xBF") != 0)
            return "no UTF-8 mark: " + utf8;
        std::wstring wide(utf8.size(), L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, &utf8[3], (int)utf8.size() - 3, &wide[0],
                                        (int)wide.size()));
        std::string text(wide.size(), '\0');
        text.resize(WideCharToMultiByte(1250, 0, wide.data(), (int)wide.size(), &text[0],
                                        (int)text.size(), nullptr, nullptr));
        return text;
    }

    bool NothingPlaced()
    {
        return !FileExists(JoinPath(SystemDirectory(), "ocfpcsc1.dll")) && !FileExists(started) &&
               RecordedCalls(JoinPath(jre, "bin\\java.exe")).empty();
    }

    // The driver installer leaves its mark, then waits for `go`.
    void HoldDriverInstaller(const std::string &go, const std::string &name = "twin64.bat")
    {
        ASSERT_TRUE(WriteTextFile(package / ("Drivers\\" + name),
                                  "@echo.>\"" + started + "\"\r\n:wait\r\n@if not exist \"" + go +
                                      "\" goto wait\r\n"));
        DeleteFileA(started.c_str());
    }

    // The registered copy's quiet uninstall, run to its end.
    DWORD Uninstall(const std::string &options = "")
    {
        return ChildProcess(PROGRAM_COPY, machine.path(), "/uninstall /quiet" + options)
            .WaitForExit(60000);
    }

    ScratchDir machine;
    std::string jre, started, log;
};

TEST_F(Unattended, QuietRunWithTheDefaultsPlacesEverythingAndReportsIt)
{
    EXPECT_EQ(Run("/quiet /log:\"" + log + "\""), 0u);
    // Waited for: its mark is there as soon as the run has ended.
    EXPECT_EQ(ReadTextFile(started), "started 1.\r\n");
    for (const char *name : {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
        EXPECT_TRUE(FileExists(JoinPath(SystemDirectory(), name))) << name;
    EXPECT_TRUE(FileExists(JoinPath(jre, "lib\\ext\\ocf1.2.jar")));
    EXPECT_EQ(RecordedCalls(JoinPath(jre, "bin\\java.exe")).size(), 2u);

    const std::string text = Log();
    const std::string head = "Instalator czytnika kart mikroprocesorowych 2.8.0.0\r\nCzas (UTC): ";
    EXPECT_EQ(text.compare(0, head.size(), head), 0) << text;
    char user[256];
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    for (const std::string &line :
         {"\r\nWiersz poleceń: \"" + package / "instalator.exe\" /quiet /log:\"" + log + "\"\r\n",
          "\r\nKonto: " + std::string(user) + "\r\n",
          "\r\nFolder pakietu: " + package.path() + "\r\n", std::string("\r\nWindows: "),
          "\r\nŚrodowisko Java: " + jre + "\r\n", std::string("\r\nKopia pakietu: "),
          "\r\nUmieszczono: " + JoinPath(SystemDirectory(), "ocfpcsc1_64.dll") + "\r\n",
          std::string("\r\nCzytnik: wiersz 1, GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit\r\n"
                      "Instalator sterownika Drivers\\twin64.bat: kod wyjścia 0\r\n")})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;
    const std::string tail = "Instalacja sterownika czytnika kart: OK\r\nKod wyjścia: 0\r\n";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        EXPECT_EQ(text[at - 1], '\r') << at;
}

// Under code page 932 only (ja_JP.UTF-8): 能, 0x94 0x5C, ends in a backslash's byte.
TEST_F(Unattended, CodePage932HomesInAFolderEndingInABackslashByteGetEveryFile)
{
    ASSERT_EQ(GetACP(), 932u);
    const std::string folder = machine / "Java\x94\x5C";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    RegisterJavaHome(folder, "", "Java Runtime Environment", "1.6");
    RegisterJavaHome(folder + "\\jre", "", "Java Runtime Environment", "1.7");
    EXPECT_EQ(Run("/quiet"), 0u);
    // As the other home has them.
    for (const std::string home : {folder, folder + "\\jre"})
        for (const std::string file : {"ext\\ocf1.2.jar", "opencard.properties",
                                       "security\\java.policy", "security\\java.policy.ocf-bak"})
            EXPECT_TRUE(ReadTextFile(home + "\\lib\\" + file) ==
                        ReadTextFile(jre + "\\lib\\" + file)) << home << file;
}

TEST_F(Unattended, AFileInUseIsReplacedAtTheNextRestart)
{
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    ASSERT_TRUE(WriteTextFile(bridge, "a bridge that Java has loaded"));
    const std::string jar = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    const std::string old_jar = JoinPath(SystemDirectory(), "ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(jar, "in use") && WriteTextFile(old_jar, "in use"));
    // As Java's own setup registers it: a second key, the same home.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_401", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "JavaHome", 0, REG_SZ, (const BYTE *)jre.c_str(), (DWORD)jre.size() + 1);
    RegCloseKey(key);
    HANDLE held[3] = {Hold(bridge), Hold(jar), Hold(old_jar)};
    ASSERT_NE(held[2], INVALID_HANDLE_VALUE);
    // What earlier runs left there: their private copies' folders, removed since.
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
    EXPECT_EQ(Run("/quiet /log:\"" + log + "\""), 3010u);
    for (HANDLE file : held)
        CloseHandle(file);

    char pending[4096] = "";
    DWORD size = sizeof pending - 2;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations",
                           RRF_RT_REG_MULTI_SZ, nullptr, pending, &size),
              ERROR_SUCCESS);
    const std::string renames(pending, size);
    EXPECT_NE(renames.find("\\??\\" + bridge + ".ocf-new" + '\0'), std::string::npos) << renames;
    EXPECT_NE(renames.find("\\??\\" + bridge + '\0', 1), std::string::npos) << renames;
    // Queued, and once, though its home is handled twice.
    EXPECT_NE(renames.find(jar + ".ocf-new"), std::string::npos) << renames;
    EXPECT_EQ(renames.find(jar + ".ocf-new"), renames.rfind(jar + ".ocf-new")) << renames;
    EXPECT_NE(renames.find("\\??\\" + old_jar + std::string(2, '\0')), std::string::npos);
    for (const std::string &line :
         {"Zastąpiony przy ponownym uruchomieniu komputera: " + bridge + "\r\n",
          "Usunięty przy ponownym uruchomieniu komputera: " + old_jar + "\r\n"})
        EXPECT_NE(Log().find(line), std::string::npos) << line << Log();

    Restart(machine.path());
    EXPECT_TRUE(ReadTextFile(bridge) == ReadTextFile(package / "sun\\ocfpcsc1.dll"));
    EXPECT_FALSE(FileExists(bridge + ".ocf-new"));
}

std::string UninstallValue(const char *name, const std::string &key = REGISTRATION_KEY)
{
    char value[512] = "";
    DWORD size = sizeof value, type = 0;
    RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type,
                 value, &size);
    return type == REG_DWORD ? std::to_string(*(DWORD *)value) : value;
}

TEST_F(Unattended, AReadOnlyTargetIsReplacedWithoutAPrompt)
{
    const std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(library, "an older library"));
    SetReadOnly(library, true);
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_TRUE(ReadTextFile(library) == ReadTextFile(package / "sun\\ocf1.2.jar"));
}

TEST_F(Unattended, ExitCodesFollowTheWorstStep)
{
    // The Java Plug-in step's warning.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
    EXPECT_EQ(Run("/quiet"), 1u);

    // A driver installer that asks for a restart, or starts one, did its work.
    for (DWORD code : {3010u, 1641u}) {
        ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin64.bat",
                                  "@exit /b " + std::to_string(code) + "\r\n"));
        EXPECT_EQ(Run("/quiet /components:drivers"), code);
    }
    ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin64.bat", "@exit /b 7\r\n"));
    EXPECT_EQ(Run("/quiet /log:" + log), 1603u);
    // Its files placed, a failed run is no version installed.
    EXPECT_EQ(UninstallValue("DisplayVersion"), "");
    EXPECT_NE(UninstallValue("DisplayName"), "");
    EXPECT_NE(Log().find("Instalacja sterownika czytnika kart: BŁĄD - Instalator sterownika "
                         "zakończył pracę z kodem 7\r\n"),
              std::string::npos)
        << Log();
    ASSERT_TRUE(DeleteFileA((package / "Drivers\\twin64.bat").c_str()));
    EXPECT_EQ(Run("/quiet /components:drivers"), 1603u);

    // The step reads OK, yet a policy kept (no backup possible) and a bridge
    // not placed leave the PC short.
    const std::string policy = JoinPath(jre, "lib\\security\\java.policy");
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1_64.dll");
    RegisterJavaHome(jre, "", "Java Runtime Environment");
    DeleteFileA(bridge.c_str());
    ASSERT_TRUE(MakeDirectories(policy + ".ocf-bak") && MakeDirectories(bridge));
    EXPECT_EQ(Run("/quiet /components:java /log:" + log), 1u);
    RemoveDirectoryA(bridge.c_str());
    for (const std::string &line : {"Nie umieszczono: " + policy + "\r\n",
                                    "Nie umieszczono: " + bridge + "\r\n",
                                    std::string("Java Plug-in: OK\r\nKod wyjścia: 1\r\n")})
        EXPECT_NE(Log().find(line), std::string::npos) << line << Log();
}

TEST_F(Unattended, ASecondInstallerExitsAtOnce)
{
    // The first run's log, which a second one given the same path leaves alone.
    ASSERT_TRUE(WriteTextFile(log, "\xEF\xBB\xBFthe first run's"));
    for (int event = 0; event < 2; ++event) {
        HANDLE other = event ? CreateEventA(nullptr, FALSE, FALSE, "Global\\Instalator.CzytnikKart")
                             : CreateMutexA(nullptr, FALSE, "Global\\Instalator.CzytnikKart");
        EXPECT_EQ(Run("/quiet /log:" + log), 1618u) << event;
        CloseHandle(other);
    }
    EXPECT_TRUE(NothingPlaced());
    EXPECT_EQ(Log(), "the first run's");
}

TEST_F(Unattended, ACommandLineNotUnderstoodDoesNothing)
{
    EXPECT_EQ(Run("/quiet /bogus /log:" + log), 1639u);
    EXPECT_NE(Log().find("\r\nNieznany przełącznik: /bogus\r\nKod wyjścia: 1639\r\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Run("/quiet /reader:9"), 1639u);
    // A log below a link would be written wherever the link leads.
    EXPECT_EQ(Run("/quiet /log:C:\\links\\link\\install.log"), 1622u);
    EXPECT_FALSE(FileExists("C:\\links\\target\\install.log"));
    // So would one through a second name. A log that is a link itself Wine
    // cannot show: it follows a Unix link to a file as that file.
    const std::string elsewhere = package / "elsewhere.log", second = package / "second.log";
    ASSERT_TRUE(WriteTextFile(elsewhere, "not ours"));
    ASSERT_TRUE(CreateHardLinkA(second.c_str(), elsewhere.c_str(), nullptr));
    EXPECT_EQ(Run("/quiet /log:" + second), 1622u);
    EXPECT_EQ(ReadTextFile(elsewhere), "not ours");
    EXPECT_TRUE(NothingPlaced());
}

TEST_F(Unattended, TheReaderRowFitsTheWindowsAndTheLogGrowsAsTheRunGoes)
{
    const std::string go = machine / "go", version = "Software\\Wine";
    HoldDriverInstaller(go, "twin8_64.bat");
    RegSetKeyValueA(HKEY_CURRENT_USER, version.c_str(), "Version", REG_SZ, "win10", 6);
    arguments = "/quiet /log:" + log;
    Start();
    // The reader's line is written before its installer starts.
    ASSERT_TRUE(WaitForFile(started));
    const std::string text = ReadTextFile(log);
    // The driver still runs, and the log has all before it.
    EXPECT_NE(text.find("Java Plug-in: OK\r\nCzytnik: wiersz 0, GemPC(Twin,Tokens)-Win8-64bit\r\n"),
              std::string::npos) << text;
    // Held for the whole run: another process can neither write, delete nor rename it.
    HANDLE writer = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileA(log.c_str()));
    EXPECT_FALSE(MoveFileA(log.c_str(), (log + ".moved").c_str()));
    ASSERT_TRUE(WriteTextFile(go, ""));
    EXPECT_EQ(process->WaitForExit(60000), 0u);
    RegSetKeyValueA(HKEY_CURRENT_USER, version.c_str(), "Version", REG_SZ, "win7", 5);
    EXPECT_EQ(Run("/quiet /components:drivers /log:" + log), 0u);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, version.c_str(), "Version");
    EXPECT_EQ(ReadTextFile(started), "started 1.\r\n");
    // Each run its own section, the first one kept.
    EXPECT_EQ(ReadTextFile(log).find(text), 0u);
    EXPECT_NE(Log().find("Kod wyjścia: 0\r\nInstalator czytnika"), std::string::npos) << Log();
}

// Every file that runs touched, read as bytes, "absent" when missing.
std::vector<std::string> Touched(const std::string &jre)
{
    std::vector<std::string> contents;
    for (const char *name : {"ocf1.2.jar", "ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
        contents.push_back(ReadTextFile(JoinPath(SystemDirectory(), name)));
    for (const char *name : {"lib\\ext\\ocf1.2.jar", "lib\\opencard.properties",
                             "lib\\security\\java.policy", "lib\\security\\java.policy.ocf-bak",
                             "lib\\ext\\ocfpcsc1.dll", "lib\\ext\\ocfpcsc1_64.dll"})
        contents.push_back(FileExists(JoinPath(jre, name)) ? ReadTextFile(JoinPath(jre, name))
                                                            : "absent");
    return contents;
}

TEST_F(Unattended, TwoInstallsAndAnUninstallFromTheCopyPutEveryFileBack)
{
    const std::string old_jar = JoinPath(SystemDirectory(), "ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(old_jar, "the old library"));
    const std::vector<std::string> before = Touched(jre);
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_EQ(UninstallValue("DisplayVersion"), "2.8.0.0");
    EXPECT_EQ(UninstallValue("QuietUninstallString"),
              "\"" + std::string(PROGRAM_COPY) + "\" /uninstall /quiet");
    EXPECT_EQ(UninstallValue("NoRepair"), "1");
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    DWORD count = 0, size = sizeof count;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(), RRF_RT_REG_DWORD,
                           nullptr, &count, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);

    RemoveTree(package.path());
    ChildProcess uninstall(PROGRAM_COPY, machine.path(), "/uninstall /quiet /log:" + log);
    EXPECT_EQ(uninstall.WaitForExit(60000), 0u);
    EXPECT_EQ(Touched(jre), before);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, REGISTRATION_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(), RRF_RT_REG_DWORD,
                           nullptr, &count, &size),
              ERROR_SUCCESS);
    EXPECT_NE(Log().find("Przywrócono: " + old_jar + "\r\n"), std::string::npos) << Log();

    ChildProcess again(PROGRAM_COPY, machine.path(), "/uninstall /quiet");
    EXPECT_EQ(again.WaitForExit(60000), 1605u);
}

// Held as a loaded library is, the jar gets an .ocf-new and the old jar's
// removal waits; the uninstall before that restart takes back only those.
TEST_F(Unattended, AnUninstallBeforeTheInstallsRestartCancelsItsReplacements)
{
    const std::string jar = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    const std::string old_jar = JoinPath(SystemDirectory(), "ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(jar, "in use") && WriteTextFile(old_jar, "the old library"));
    const std::vector<std::string> before = Touched(jre);
    // Another program's deletion of a file named in no ANSI code page.
    const std::wstring other_file = std::wstring(jre.begin(), jre.end()) + L"\\\u4e2d.tmp";
    CloseHandle(CreateFileW(other_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    std::wstring other = L"\\??\\" + other_file + std::wstring(2, L'\0');
    for (int i = 0; other.size() < 51200; ++i)
        other += L"\\??\\C:\\other\\" + std::to_wstring(i) + L".tmp" + std::wstring(1, L'\0') +
                 (i % 2 ? L"!\\??\\C:\\other\\x" : L"") + std::wstring(1, L'\0');
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, SESSION_MANAGER_W, L"PendingFileRenameOperations",
                    REG_MULTI_SZ, other.c_str(), (DWORD)(other.size() + 1) * 2);
    HANDLE held[2] = {Hold(jar), Hold(old_jar)};
    EXPECT_EQ(Run("/quiet"), 3010u);
    CloseHandle(held[0]);
    CloseHandle(held[1]);
    ASSERT_NE(PendingRenames().find(L".ocf-new"), std::wstring::npos);

    EXPECT_EQ(Uninstall(), 0u);
    const std::wstring pending = PendingRenames();
    EXPECT_EQ(pending.compare(0, other.size(), other), 0);
    EXPECT_EQ(pending.find(L".ocf-new"), std::wstring::npos);
    EXPECT_EQ(pending.find(L"ocf1.2.jar"), std::wstring::npos);
    EXPECT_FALSE(FileExists(jar + ".ocf-new"));
    Restart(machine.path());
    EXPECT_EQ(Touched(jre), before);
    EXPECT_EQ(GetFileAttributesW(other_file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Unattended, AReinstallBeforeTheUninstallsRestartKeepsTheProgramsCopy)
{
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_EQ(Uninstall(), 0u);
    ASSERT_NE(PendingRenames().find(L"Instalator czytnika kart"), std::wstring::npos);
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_EQ(PendingRenames().find(L"Instalator czytnika kart"), std::wstring::npos);
    Restart(machine.path());
    EXPECT_TRUE(FileExists(PROGRAM_COPY));
}

TEST_F(Unattended, TheRegisteredCopyIsTheProgramThatRan)
{
    const std::string program = package / "instalator.exe", ran = package / "ran.exe";
    const std::string original = ReadTextFile(program);
    // A second name: not the one file that the image is checked against.
    ASSERT_TRUE(CreateHardLinkA(ran.c_str(), program.c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(JoinPath(SystemDirectory(), "ocf1.2.jar"), "the old library"));
    const std::vector<std::string> before = Touched(jre);
    EXPECT_EQ(Run("/quiet /log:" + log), 1603u);
    EXPECT_TRUE(Touched(jre) == before && NothingPlaced());
    EXPECT_EQ(GetFileAttributesA(RECORD_FOLDER.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(UninstallValue("DisplayName"), "");
    EXPECT_NE(Log().find("Plik programu zmieniony w trakcie pracy, nic nie zmieniono: " +
                         program + "\r\n"),
              std::string::npos) << Log();
    ASSERT_TRUE(DeleteFileA(ran.c_str()));

    // Renamed and replaced in the window before "Instaluj": a copy made by
    // name would be the planted file.
    arguments = "";
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(MoveFileA(program.c_str(), ran.c_str()));
    ASSERT_TRUE(WriteTextFile(program, "planted"));
    ASSERT_TRUE(RunInstallation(dialog));
    CloseAfterRun(dialog);
    EXPECT_EQ(ReadTextFile(PROGRAM_COPY), original);
    EXPECT_NE(UninstallValue("QuietUninstallString"), "");
}

TEST_F(Unattended, AnUninstallPutsBackAFileInUseAtTheNextRestart)
{
    const std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    const std::string placed = ReadTextFile(package / "sun\\ocf1.2.jar");
    for (bool reinstall : {false, true}) {
        ASSERT_TRUE(WriteTextFile(library, "the original library"));
        EXPECT_EQ(Run("/quiet"), 0u);
        HANDLE held = Hold(library);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
        EXPECT_EQ(Uninstall(), 3010u);
        CloseHandle(held);
        EXPECT_TRUE(ReadTextFile(library) == placed);
        // The registration goes now; the record and the original at the restart.
        EXPECT_EQ(UninstallValue("DisplayName"), "");
        EXPECT_TRUE(FileExists("C:\\Program Files\\Instalator czytnika kart\\record.txt"));
        // Installed again before that restart: the restart undoes none of it,
        // and the next uninstall brings back the first state.
        EXPECT_EQ(reinstall ? Run("/quiet") : 0u, 0u);
        Restart(machine.path());
        EXPECT_TRUE(reinstall ||
                    GetFileAttributesA(RECORD_FOLDER.c_str()) == INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(!reinstall || (ReadTextFile(library) == placed && Uninstall() == 0u));
        EXPECT_EQ(ReadTextFile(library), "the original library") << reinstall;
    }
}

TEST_F(Unattended, TheCheckSeesEveryServedHomeAndEveryPlacedFile)
{
    const std::string jre2 = machine / "jre2";
    const std::string policy = JoinPath(jre, "lib\\security\\java.policy");
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1_64.dll");
    const std::string output = machine / "output.txt";
    const std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    const std::string record_file = "C:\\Program Files\\Instalator czytnika kart\\record.txt";
    const struct {
        const char *what;
        int install;  // a quiet install first
        std::function<void()> change;
        DWORD code;
        std::string line;
    } rows[] = {
        {"installed", 1, [] {}, 0, "Zgodny: " + JoinPath(jre, "lib\\ext\\ocf1.2.jar")},
        {"a new Java", 0,
         [&] {
             RegisterJavaHome(jre2, "", "Java Runtime Environment", "1.8.0_400");
             DeleteFileA(JoinPath(jre2, "lib\\security\\java.policy").c_str());
         },
         1,
         "Środowisko Java bez plików instalatora: " + jre2},
        {"installed again", 1, [] {}, 0, "Zgodny: " + JoinPath(jre2, "lib\\ext\\ocf1.2.jar")},
        {"a policy changed", 0, [&] { ASSERT_TRUE(WriteTextFile(policy, "changed")); }, 1,
         "Inny: " + policy},
        {"a bridge deleted", 1, [&] { DeleteFileA(bridge.c_str()); }, 1, "Brak: " + bridge},
        // Runs cut short while placing each library: no digest of it to compare with.
        {"a library changed", 0,
         [&] {
             const std::regex digest("(\n.. )[0-9a-f]{64}( [^\r]*ext\\\\ocf1\\.2\\.jar)");
             ASSERT_TRUE(WriteTextFile(
                 record_file, std::regex_replace(ReadTextFile(record_file), digest, "$1?$2")));
             ASSERT_TRUE(WriteTextFile(library, "changed"));
         },
         1, "Obecny, treści nie porównano: " + library},
    };
    for (const auto &row : rows) {
        if (row.install)
            EXPECT_EQ(Run("/quiet"), 0u) << row.what;
        row.change();
        const std::vector<std::string> before = Touched(jre), copies = PrivateCopies();
        const std::string record = ReadTextFile(record_file);
        DeleteFileA(log.c_str());
        EXPECT_EQ(Check(output), row.code) << row.what;
        EXPECT_EQ(ReadTextFile(output), row.code == 0 ? "Installed\r\n" : "") << row.what;
        EXPECT_NE(Log().find("\r\n" + row.line + "\r\n"), std::string::npos) << row.what << Log();
        // It reads only: the files, the record and the temporary folders stay.
        EXPECT_EQ(Touched(jre), before) << row.what;
        EXPECT_EQ(ReadTextFile(record_file), record);
        EXPECT_EQ(PrivateCopies(), copies) << row.what;
    }
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(Check(output), 1605u);
}

// Where the way back keeps a file's original: named by its SHA-256.
std::string KeptOriginal(const std::string &file)
{
    unsigned char digest[SHA256_SIZE] = {};
    std::string kept = "C:\\Program Files\\Instalator czytnika kart\\";
    HashFileSha256(file.c_str(), digest);
    for (unsigned char byte : digest)
        kept += "0123456789abcdef"[byte >> 4], kept += "0123456789abcdef"[byte & 15];
    return kept;
}

TEST_F(Unattended, TheUninstallInTheWindowLeavesAChangedFileAndASharedOne)
{
    EXPECT_EQ(Run("/quiet"), 0u);
    const std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(library, "changed since"));
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    DWORD count = 2;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(), REG_DWORD, &count,
                    sizeof count);

    PromptAnswerer boxes("Instalator czytnika kart mikroprocesorowych");
    boxes.Queue(IDNO);
    arguments = "/uninstall";
    Start();
    EXPECT_EQ(ExitCode(), 1602u);
    boxes.Queue(IDYES);
    boxes.Queue(IDOK);
    const std::string policy = JoinPath(jre, "lib\\security\\java.policy"),
                      placed = ReadTextFile(policy), kept = KeptOriginal(policy + ".ocf-bak");
    HANDLE held = CreateFileA(policy.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    arguments = "/uninstall /log:" + log;
    Start();
    EXPECT_EQ(ExitCode(), 1u);
    CloseHandle(held);
    ExpectAllPromptsAnswered(boxes);
    EXPECT_EQ(ReadTextFile(policy), placed);
    EXPECT_EQ(ReadTextFile(kept), "original policy");
    EXPECT_NE(Log().find("W użyciu, pozostawiono: " + policy + "\r\n"), std::string::npos);
    EXPECT_EQ(ReadTextFile(library), "changed since");
    EXPECT_TRUE(FileExists(bridge));
    EXPECT_FALSE(FileExists(JoinPath(SystemDirectory(), "ocfpcsc1_64.dll")));
    EXPECT_NE(Log().find("Zmieniony, pozostawiono: " + library + "\r\n"), std::string::npos) << Log();
    EXPECT_NE(Log().find("Wspólny, pozostawiono: " + bridge + "\r\n"), std::string::npos);
    // The file in use keeps the registration; released, the next uninstall
    // takes it back, and our share of the count is taken off once.
    EXPECT_EQ(UninstallValue("DisplayName"), "Instalator czytnika kart mikroprocesorowych");
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(ReadTextFile(policy), "original policy");
    DWORD size = sizeof count;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(), RRF_RT_REG_DWORD,
                           nullptr, &count, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(UninstallValue("DisplayName"), "");
}

// Cut short while java.exe runs (the home's library in place, its policy
// not yet) or while the driver installer runs, with or without a second
// install after it: the registered uninstall brings back the first state.
TEST_F(Unattended, ARunCutShortIsTakenBackByTheRegisteredUninstall)
{
    const std::string old_jar = JoinPath(SystemDirectory(), "ocf1.2.jar");
    const std::string hold = JoinPath(jre, "bin\\java.wait"), go = machine / "go";
    HoldDriverInstaller(go);
    for (int run = 0; run < 4; ++run) {
        const bool at_driver = run >= 2, second = run % 2;
        SCOPED_TRACE(run);
        ASSERT_TRUE(WriteTextFile(old_jar, "the old library"));
        const std::vector<std::string> before = Touched(jre);
        const std::string mark = at_driver ? started : JoinPath(jre, "bin\\java.calls");
        for (const std::string &file : {go, started, JoinPath(jre, "bin\\java.calls")})
            DeleteFileA(file.c_str());
        ASSERT_TRUE(at_driver || WriteTextFile(hold, ""));
        arguments = "/quiet";
        Start();
        ASSERT_TRUE(WaitForFile(mark));
        HANDLE running = OpenProcess(PROCESS_TERMINATE, FALSE, process->id());
        ASSERT_TRUE(running != nullptr && TerminateProcess(running, 9));
        CloseHandle(running);
        EXPECT_EQ(process->WaitForExit(10000), 9u);
        ASSERT_TRUE(WriteTextFile(go, ""));
        DeleteFileA(hold.c_str());
        ASSERT_TRUE(WaitUntil([&] { return !HasRunningChild(process->id()); }));
        EXPECT_EQ(UninstallValue("DisplayVersion"), "");
        if (second)
            EXPECT_EQ(Run("/quiet"), 0u);
        EXPECT_EQ(Uninstall(), 0u);
        EXPECT_EQ(Touched(jre), before);
    }
}

// Killed at several moments, first as it writes the large original back,
// then later: run again to its end (once after an install), the uninstall
// leaves every file as before.
TEST_F(Unattended, AnUninstallCutShortIsFinishedByTheNext)
{
    const std::string jar = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(jar, std::string(40 << 20, 'o')));
    const auto writing = [&](const std::string &file) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
        return data.nFileSizeLow > (1u << 20) && data.nFileSizeLow < (40u << 20);
    };
    const std::vector<std::string> before = Touched(jre);
    for (int delay : {0, 100, 400, 900}) {
        SCOPED_TRACE(delay);
        EXPECT_EQ(Run("/quiet"), 0u);
        ChildProcess uninstall(PROGRAM_COPY, machine.path(), "/uninstall /quiet");
        for (int waited = 0; delay == 0 && waited < 10000 && !writing(jar) &&
                             !writing(jar + ".ocf-new");
             ++waited)
            Sleep(1);
        Sleep(delay);
        HANDLE running = OpenProcess(PROCESS_TERMINATE, FALSE, uninstall.id());
        TerminateProcess(running, 9);
        CloseHandle(running);
        uninstall.WaitForExit(10000);
        // Once with an install after it.
        if (delay == 400)
            EXPECT_EQ(Run("/quiet"), 0u);
        const DWORD expected = UninstallValue("DisplayName").empty() ? 1605u : 0u;
        EXPECT_EQ(Uninstall(), expected);
        // Killed between the record and a shared count, a library stays with
        // its count: one too high keeps a file.
        for (const std::string &folder : {SystemDirectory(), JoinPath(jre, "lib\\ext")})
            for (const char *name : {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
                if (RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY,
                                       JoinPath(folder, name).c_str()) == ERROR_SUCCESS)
                    DeleteFileA(JoinPath(folder, name).c_str());
        EXPECT_TRUE(Touched(jre) == before);
    }
}

// Thirty homes, each with its own policy, are recorded and taken back whole.
TEST_F(Unattended, EveryOneOfThirtyJavaHomesIsTakenBack)
{
    std::vector<std::string> homes;
    std::vector<std::vector<std::string>> before;
    for (int i = 0; i < 30; ++i) {
        homes.push_back(machine / ("jre" + std::to_string(i)));
        RegisterJavaHome(homes.back(), "", "Java Runtime Environment", "2." + std::to_string(i));
        ASSERT_TRUE(WriteTextFile(JoinPath(homes.back(), "lib\\security\\java.policy"),
                                  "policy " + std::to_string(i)));
        before.push_back(Touched(homes.back()));
    }
    EXPECT_EQ(Run("/quiet"), 0u);
    EXPECT_EQ(ReadTextFile(JoinPath(homes[29], "lib\\security\\java.policy.ocf-bak")),
              "policy 29");
    EXPECT_EQ(Uninstall(), 0u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(Touched(homes[i]), before[i]) << i;
}

// Wine keeps no DACL that a program sets: the descriptors as Windows reads
// them. The record's folder is for administrators only; its program may be
// read and started by Users, so that Apps & features can start it elevated.
TEST(RecordFolder, OnlySystemAndAdministratorsMayOpenIt)
{
    for (const void *descriptor : {ADMINISTRATORS_ONLY_SECURITY, PROGRAM_SECURITY}) {
        char *text = nullptr;
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(
            (PSECURITY_DESCRIPTOR)descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
            nullptr));
        EXPECT_STREQ(text, descriptor == PROGRAM_SECURITY
                               ? "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)"
                               : "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        LocalFree(text);
    }
}

// A kept original changed: never put back, and a rerun takes the shared
// count off no second time. A record changed by hand is left alone.
TEST_F(Unattended, AFailedUninstallKeepsTheCountsRightAndAnUnreadableRecordStays)
{
    const std::string folder = "C:\\Program Files\\Instalator czytnika kart";
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    const std::string older = JoinPath(SystemDirectory(), "ocfpcsc1_64.dll");
    ASSERT_TRUE(WriteTextFile(older, "an older bridge"));
    std::string kept = KeptOriginal(older);
    // Kept already (another file had the same original) and read by another:
    // used as it is.
    ASSERT_TRUE(MakeDirectories(folder) && WriteTextFile(kept, "an older bridge"));
    HANDLE reader = Hold(kept);
    EXPECT_EQ(Run("/quiet"), 0u);
    CloseHandle(reader);
    DWORD count = 2, size = sizeof count;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(), REG_DWORD, &count,
                    sizeof count);
    ASSERT_EQ(ReadTextFile(kept), "an older bridge");
    ASSERT_TRUE(WriteTextFile(kept, "changed original"));
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(Uninstall(" /log:" + log), 1603u);
        EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY, bridge.c_str(),
                               RRF_RT_REG_DWORD, nullptr, &count, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(count, 1u);
        EXPECT_NE(ReadTextFile(older), "an older bridge");
        EXPECT_FALSE(FileExists(JoinPath(jre, "lib\\ext\\ocfpcsc1_64.dll")));  // after it
    }
    EXPECT_NE(Log().find("Błąd przywracania: " + older + "\r\n"), std::string::npos) << Log();
    // Holding its original, the file is done whatever its kept copy.
    ASSERT_TRUE(WriteTextFile(older, "an older bridge"));
    EXPECT_EQ(Uninstall(), 0u);
    EXPECT_EQ(ReadTextFile(older), "an older bridge");
    EXPECT_TRUE(FileExists(bridge));

    EXPECT_EQ(Run("/quiet"), 0u);
    // Held open by another, or unreadable: the run changes nothing.
    ASSERT_TRUE(DeleteFileA(bridge.c_str()));
    HANDLE held = CreateFileA(JoinPath(folder, "record.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Run("/quiet"), 1603u);
    CloseHandle(held);
    ASSERT_TRUE(WriteTextFile(JoinPath(folder, "record.txt"), "by hand\r\n"));
    EXPECT_EQ(Run("/quiet /log:" + log), 1603u);
    EXPECT_FALSE(FileExists(bridge));
    EXPECT_EQ(ReadTextFile(JoinPath(folder, "record.txt")), "by hand\r\n");
    EXPECT_NE(Log().find("Zapis zmian nieczytelny"), std::string::npos);
    EXPECT_EQ(Uninstall(), 1603u);

    // No room for the policy's original: the policy stays as it is.
    const std::string policy = JoinPath(jre, "lib\\security\\java.policy");
    RemoveTree(folder);
    DeleteFileA((policy + ".ocf-bak").c_str());
    ASSERT_TRUE(WriteTextFile(policy, "original policy"));
    ASSERT_TRUE(MakeDirectories(KeptOriginal(policy)));
    EXPECT_EQ(Run("/quiet /log:" + log), 1u);
    EXPECT_EQ(ReadTextFile(policy), "original policy");
    EXPECT_NE(Log().find("Nie można zachować oryginału, pliku nie zmieniono: " + policy),
              std::string::npos);
}

// Without /quiet a person answers, as in the window without arguments.
TEST_F(Unattended, TheWindowTakesItsTicksAndReaderFromTheCommandLine)
{
    arguments = "/components:drivers /reader:1";
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsButtonChecked(dialog, IDC_DRIVERS));
    EXPECT_FALSE(IsButtonChecked(dialog, IDC_JAVA_PLUGIN));
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_GETCURSEL, 0, 0), 1);
    ASSERT_TRUE(RunInstallation(dialog));
    restart_notices.Queue(IDOK);
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
    // Not quiet: the driver installer may show itself, and runs on its own.
    WaitUntil([&] { return !HasRunningChild(process->id()); });
    EXPECT_EQ(ReadTextFile(started), "started .\r\n");

    arguments = "/reader:9";
    PromptAnswerer usage("Instalator czytnika kart mikroprocesorowych");
    usage.Queue(IDOK);
    Start();
    EXPECT_EQ(ExitCode(), 1639u);
    ExpectAllPromptsAnswered(usage);
    const std::string shown = usage.Texts().at(0);
    EXPECT_EQ(shown.rfind("Niezrozumiała wartość przełącznika: /reader:9\n\nUżycie: ", 0), 0u)
        << shown;
}

// The MSI under Wine's msiexec: the same quiet run, from the MSI's own folder,
// behind one Apps & features entry, taken back by the program's uninstall.
class Msi : public Unattended {
protected:
    void TearDown() override
    {
        // With no registered copy left the MSI's uninstall has nothing to fail.
        RemoveTree(RECORD_FOLDER);
        for (const char *msi : {INSTALATOR_MSI, NEWER_MSI})
            Msiexec("/x \"" + WindowsPath(msi) + "\" /qn");
        RemoveTree(MSI_FOLDER);
        Unattended::TearDown();
    }

    DWORD Msiexec(const std::string &command)
    {
        return ChildProcess(JoinPath(SystemDirectory(), "msiexec.exe"), machine.path(), command)
            .WaitForExit(100000);
    }

    // Visible entries of this installer: key and DisplayVersion, each with a space after.
    std::string Entries()
    {
        std::string shown, root = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
        HKEY all;
        char key[256];
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, root.c_str(), 0, KEY_READ, &all);
        for (DWORD i = 0; RegEnumKeyA(all, i, key, sizeof key) == ERROR_SUCCESS; ++i)
            if (UninstallValue("DisplayName", root + key).find("czytnika kart") + 1 &&
                UninstallValue("SystemComponent", root + key) != "1")
                shown += key + (" " + UninstallValue("DisplayVersion", root + key)) + " ";
        RegCloseKey(all);
        return shown;
    }

    const std::string install = "/i \"" + WindowsPath(INSTALATOR_MSI) + "\" /qn";
};

// Rolled back whole when the run fails; run twice, then a newer version: one
// entry; the product's uninstall takes every run back. A file in use: 3010.
// An original changed since it was kept is not put back: the uninstall fails,
// and the files and the program's record stay for another try (Wine's msiexec
// forgets the product all the same; Windows rolls that back).
TEST_F(Msi, EveryRunBehindOneEntryTakenBackOrKeptForAnotherTry)
{
    const std::vector<std::string> before = Touched(jre);
    ASSERT_TRUE(SetRecordedExitCodes(JoinPath(jre, "bin\\java.exe"), "1\r\n0\r\n"));
    EXPECT_EQ(Msiexec(install), 1603u);
    EXPECT_EQ(Touched(jre), before);
    EXPECT_EQ(Entries() + UninstallValue("DisplayName"), "");

    const std::string verbose = machine / "msi.log";
    EXPECT_EQ(Msiexec(install + " /l*v \"" + verbose + "\""), 0u);
    EXPECT_EQ(Msiexec(install), 0u);
    EXPECT_EQ(Entries(), MSI_PRODUCT_CODE " 2.8.0.0 ");
    // The program's own lines.
    EXPECT_NE(ReadTextFile(verbose).find(JoinPath(jre, "lib\\ext\\ocf1.2.jar")),
              std::string::npos);
    EXPECT_EQ(ChildProcess(PROGRAM_COPY, machine.path(), "/check").WaitForExit(60000), 0u);
    EXPECT_EQ(Msiexec("/i \"" + WindowsPath(NEWER_MSI) + "\" /qn"), 0u);
    EXPECT_EQ(Entries(), NEWER_MSI_PRODUCT_CODE " 2.8.1.0 ");

    EXPECT_EQ(Msiexec("/x " NEWER_MSI_PRODUCT_CODE " /qn"), 0u);
    EXPECT_EQ(Touched(jre), before);
    EXPECT_EQ(Entries(), "");
    // Wine's msiexec leaves the emptied folder.
    EXPECT_FALSE(FileExists(MSI_FOLDER + "\\instalator.exe"));

    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    ASSERT_TRUE(WriteTextFile(bridge, "a bridge in use"));
    HANDLE held = Hold(bridge);
    EXPECT_EQ(Msiexec(install), 3010u);
    CloseHandle(held);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
    ASSERT_TRUE(WriteTextFile(KeptOriginal(JoinPath(jre, "lib\\security\\java.policy.ocf-bak")),
                              "changed"));
    EXPECT_EQ(Msiexec("/x " MSI_PRODUCT_CODE " /qn"), 1603u);
    EXPECT_TRUE(FileExists(MSI_FOLDER + "\\instalator.exe") && FileExists(PROGRAM_COPY));
}

} // namespace
