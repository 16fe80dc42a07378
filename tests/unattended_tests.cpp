// instalator.exe started with a command line, as deployment engines start it:
// one JRE whose java.exe records its calls, a driver installer that leaves a
// mark. A quiet run must end with nobody at the screen: any window of it
// fails the test.
#include "doubles.h"
#include "installer_session.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char SESSION_MANAGER[] = "System\\CurrentControlSet\\Control\\Session Manager";

class Unattended : public Installer {
protected:
    void SetUp() override
    {
        Installer::SetUp();
        jre = machine / "jre";
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
        RegisterJavaHome(jre, "", "Java Runtime Environment");
        started = machine / "driver-started.txt";
        ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin8_64.bat",
                                  "@echo started>\"" + started + "\"\r\n"));
        log = machine / "install.log";
    }

    DWORD Run(const std::string &command_line)
    {
        arguments = command_line;
        Start();
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

    ScratchDir machine;
    std::string jre, started, log;
};

TEST_F(Unattended, QuietRunWithTheDefaultsPlacesEverythingAndReportsIt)
{
    EXPECT_EQ(Run("/quiet /log:\"" + log + "\""), 3010u);
    // Waited for: its mark is there as soon as the run has ended.
    EXPECT_TRUE(FileExists(started));
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
          "\r\nFolder pakietu: " + package.path() + "\r\n", std::string("\r\nWindows: ")})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in:\n" << text;
    const std::string tail = "Detekcja/deinstalacja poprzedniego środowiska OCF: OK\r\n"
                             "Instalacja sterownika czytnika kart: OK\r\n"
                             "Instalacja komponentów dla Java Plug-in: OK\r\n"
                             "Kod wyjścia: 3010\r\n";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        EXPECT_EQ(text[at - 1], '\r') << at;
}

TEST_F(Unattended, AFileInUseIsReplacedAtTheNextRestart)
{
    const std::string bridge = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
    ASSERT_TRUE(WriteTextFile(bridge, "a bridge that Java has loaded"));
    HANDLE held = CreateFileA(bridge.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // What earlier runs left there: their private copies' folders, removed since.
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
    EXPECT_EQ(Run("/quiet /log:\"" + log + "\""), 3010u);
    CloseHandle(held);

    char pending[4096] = "";
    DWORD size = sizeof pending - 2;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations",
                           RRF_RT_REG_MULTI_SZ, nullptr, pending, &size),
              ERROR_SUCCESS);
    const std::string renames(pending, size);
    EXPECT_EQ(renames.find("\\??\\" + bridge + ".ocf-new" + '\0'), 0u) << renames;
    EXPECT_NE(renames.find("\\??\\" + bridge + '\0', 1), std::string::npos) << renames;
    EXPECT_NE(Log().find("Pliki zastąpione przy ponownym uruchomieniu komputera:\r\n  " + bridge +
                         "\r\nKod wyjścia: 3010\r\n"),
              std::string::npos)
        << Log();

    // Wine carries the replacement out as Windows does at a restart.
    ChildProcess restart(JoinPath(SystemDirectory(), "wineboot.exe"), machine.path(), "-r");
    EXPECT_EQ(restart.WaitForExit(60000), 0u);
    EXPECT_TRUE(ReadTextFile(bridge) == ReadTextFile(package / "sun\\ocfpcsc1.dll"));
    EXPECT_FALSE(FileExists(bridge + ".ocf-new"));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SESSION_MANAGER, "PendingFileRenameOperations");
}

TEST_F(Unattended, AReadOnlyTargetIsReplacedWithoutAPrompt)
{
    const std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
    ASSERT_TRUE(WriteTextFile(library, "an older library"));
    SetReadOnly(library, true);
    EXPECT_EQ(Run("/quiet"), 3010u);
    EXPECT_TRUE(ReadTextFile(library) == ReadTextFile(package / "sun\\ocf1.2.jar"));
}

TEST_F(Unattended, ExitCodesFollowTheWorstStep)
{
    // The Java Plug-in step's warning.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
    EXPECT_EQ(Run("/quiet"), 1u);

    ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin8_64.bat", "@exit /b 7\r\n"));
    EXPECT_EQ(Run("/quiet /components:drivers /log:" + log), 1603u);
    EXPECT_NE(Log().find("Instalacja sterownika czytnika kart: BŁĄD - Instalator sterownika "
                         "zakończył pracę z kodem 7\r\n"),
              std::string::npos)
        << Log();
    ASSERT_TRUE(DeleteFileA((package / "Drivers\\twin8_64.bat").c_str()));
    EXPECT_EQ(Run("/quiet /components:drivers"), 1603u);
}

TEST_F(Unattended, ASecondInstallerExitsAtOnce)
{
    HANDLE other = CreateMutexA(nullptr, FALSE, "Global\\Instalator.CzytnikKart");
    EXPECT_EQ(Run("/quiet /log:" + log), 1618u);
    CloseHandle(other);
    EXPECT_TRUE(NothingPlaced());
    EXPECT_NE(Log().find("\r\nDziała już inny instalator\r\nKod wyjścia: 1618\r\n"),
              std::string::npos)
        << Log();
}

TEST_F(Unattended, ACommandLineNotUnderstoodDoesNothing)
{
    EXPECT_EQ(Run("/quiet /bogus /log:" + log), 1639u);
    EXPECT_NE(Log().find("\r\nNieznany przełącznik: /bogus\r\nKod wyjścia: 1639\r\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Run("/quiet /reader:9"), 1639u);
    // A log below a link would be written wherever the link leads.
    EXPECT_EQ(Run("/quiet /log:C:\\links\\link\\install.log"), 1639u);
    EXPECT_FALSE(FileExists("C:\\links\\target\\install.log"));
    // So would one through a second name. A log that is a link itself Wine
    // cannot show: it follows a Unix link to a file as that file.
    const std::string elsewhere = package / "elsewhere.log", second = package / "second.log";
    ASSERT_TRUE(WriteTextFile(elsewhere, "not ours"));
    ASSERT_TRUE(CreateHardLinkA(second.c_str(), elsewhere.c_str(), nullptr));
    EXPECT_EQ(Run("/quiet /log:" + second), 1639u);
    EXPECT_EQ(ReadTextFile(elsewhere), "not ours");
    EXPECT_TRUE(NothingPlaced());
}

// Without /quiet a person answers, as in the window without arguments.
TEST_F(Unattended, TheWindowTakesItsTicksAndReaderFromTheCommandLine)
{
    ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin64.bat", "@rem\r\n"));
    arguments = "/components:drivers /reader:1";
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsButtonChecked(dialog, IDC_DRIVERS));
    EXPECT_FALSE(IsButtonChecked(dialog, IDC_JAVA_PLUGIN));
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_GETCURSEL, 0, 0), 1);
    ASSERT_TRUE(RunInstallation(dialog));
    restart_notices.Queue(IDOK);
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 3010u);

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

} // namespace
