// instalator.exe's installation run, end to end: a machine with one JRE and
// one JDK (their java.exe records its calls), the PC/SC service without a
// GEMPLUS reader, driver installers that leave a mark when started.
#include "doubles.h"
#include "fileops.h"
#include "installer_session.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char JAVA_OK_REPORT[] = "Instalacja sterownika czytnika kart: OK\r\n\r\n"
                              "Instalacja komponentów dla Java Plug-in: OK\r\n\r\n";
const char REMOVAL_FAILED_ENTRY[] =
    "Detekcja/deinstalacja poprzedniego środowiska OCF: BŁĄD - Błąd kasowania pliku ocf1.2.jar "
    "w katalogu systemowym\r\n\r\n";
const char INCOMPLETE_REPORT[] =
    "Instalacja sterownika czytnika kart: BŁĄD - Instalator jest niekompletny\r\n\r\n"
    "Instalacja komponentów dla Java Plug-in: BŁĄD - Instalator jest niekompletny\r\n\r\n";
const char *const DRIVER_INSTALLERS[] = {"twin.bat", "twin64.bat", "twin8.bat", "twin8_64.bat"};
const int STATUS_LABELS[] = {IDC_STATUS_DRIVERS, IDC_STATUS_IE, IDC_STATUS_NETSCAPE,
                             IDC_STATUS_JAVA_PLUGIN};
const int CHECK_BOXES[] = {IDC_DRIVERS, IDC_IE, IDC_NETSCAPE, IDC_JAVA_PLUGIN};

const char MOVABLE_CLEANUP[] = "C:\\links\\movable\\cleanup";  // holds a link to C:\links\target

std::string Lower(std::string text)
{
    CharLowerBuffA(&text[0], (DWORD)text.size());
    return text;
}

// What waits for the restart, the names one after another.
std::string PendingRenames()
{
    std::string names(32768, '\0');
    DWORD size = (DWORD)names.size();
    RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &names[0], &size);
    return Lower(names);
}

void SetCheck(HWND dialog, int id, bool ticked)
{
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Select(HWND dialog, int index)
{
    SendMessageA(GetDlgItem(dialog, IDC_READER_LIST), CB_SETCURSEL, (WPARAM)index, 0);
}

class InstallerRun : public Installer {
protected:
    void SetUp() override
    {
        Installer::SetUp();
        ASSERT_TRUE(winscard.placed());
        jre = machine / "jre";
        jdk = machine / "jdk";
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
        RegisterJavaHome(jre, "", "Java Runtime Environment");
        RegisterJavaHome(jdk, "jre\\", "Java Development Kit");
        // Driver installers of our own, each leaving its name when started.
        started = machine / "driver-started.txt";
        for (const char *name : DRIVER_INSTALLERS)
            ASSERT_TRUE(WriteTextFile(package / ("Drivers\\" + std::string(name)),
                                      "@echo " + std::string(name) + ">>\"" + started + "\"\r\n"));
        leftover = JoinPath(SystemDirectory(), "ocf1.2.jar");
        SetReadOnly(leftover, false);
        DeleteFileA(leftover.c_str());
    }

    // A library in the JRE that the platform refuses to replace: the
    // Java Plug-in step then stops at the conflict prompt.
    void BlockJreLibrary()
    {
        std::string library = JoinPath(jre, "lib\\ext\\ocf1.2.jar");
        ASSERT_TRUE(WriteTextFile(library, "an older library"));
        SetReadOnly(library, true);
    }

    void BlockRemoval()
    {
        ASSERT_TRUE(WriteTextFile(leftover, "previous OCF"));
        SetReadOnly(leftover, true);
    }

    // The driver installers that the finished run started, in order: each is
    // started within the run, so once none of them runs, all have left a mark.
    std::string StartedDrivers()
    {
        WaitUntil([this] { return !HasRunningChild(process->id()); });
        return FileExists(started) ? ReadTextFile(started) : "";
    }

    void ExpectAfterRunState(HWND dialog)
    {
        for (int id : CHECK_BOXES)
            EXPECT_FALSE(IsControlEnabled(dialog, id)) << id;
        EXPECT_FALSE(IsControlVisible(dialog, IDC_READER_LIST));
        EXPECT_FALSE(IsControlVisible(dialog, IDC_READER_LABEL));
        EXPECT_TRUE(IsControlVisible(dialog, IDC_STATUS_DRIVERS));
        EXPECT_EQ(ReadControlText(dialog, IDOK), "&Szczegóły >>");
        EXPECT_EQ(ReadControlText(dialog, IDCANCEL), "&Zamknij");
        // Still folded: the report waits behind "&Szczegóły >>".
        EXPECT_EQ(WindowRect(dialog).bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS_LABEL)).top);
    }

    // Both steps found no usable package: no driver installer started, no
    // launcher run.
    void ExpectNothingOfThePackageUsed(HWND dialog)
    {
        EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), INCOMPLETE_REPORT);
        EXPECT_EQ(StartedDrivers(), "");
        EXPECT_TRUE(RecordedCalls(JoinPath(jre, "bin\\java.exe")).empty());
    }

    std::string Labels(HWND dialog)
    {
        std::string labels;
        for (int id : STATUS_LABELS)
            labels += "[" + ReadControlText(dialog, id) + "]";
        return labels;
    }

    ScratchDir machine;
    std::string jre, jdk, started, leftover;
    SystemWinscard winscard{true};
};

TEST_F(InstallerRun, OneJreAndOneJdkWithoutAGemplusReaderInstallCleanly)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));

    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), JAVA_OK_REPORT);
    EXPECT_EQ(Labels(dialog), "[OK][][][OK]");
    ExpectAfterRunState(dialog);
    EXPECT_EQ(StartedDrivers(), "twin8_64.bat\r\n");

    // The policy commands ran once, for the first Java home, inside "sun".
    std::vector<std::string> calls = RecordedCalls(JoinPath(jre, "bin\\java.exe"));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("\\sun\t"), std::string::npos) << calls[0];
    EXPECT_NE(calls[0].find("CopyPolicyFile .java.policy"), std::string::npos) << calls[0];
    EXPECT_NE(calls[1].find("CopyPolicyFile .opencard.properties"), std::string::npos) << calls[1];
    EXPECT_TRUE(RecordedCalls(JoinPath(jdk, "bin\\java.exe")).empty());
    for (const std::string &lib : {JoinPath(jre, "lib"), JoinPath(jdk, "jre\\lib")}) {
        EXPECT_TRUE(FileExists(JoinPath(lib, "ext\\ocf1.2.jar"))) << lib;
        EXPECT_TRUE(FileExists(JoinPath(lib, "opencard.properties"))) << lib;
        EXPECT_EQ(ReadTextFile(JoinPath(lib, "security\\java.policy.ocf-bak")), "original policy");
    }

    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForText(dialog, IDOK, "&Szczegóły <<"));
    SaveStateScreenshot("unfolded");
    EXPECT_GT(WindowRect(dialog).bottom, WindowRect(GetDlgItem(dialog, IDC_DETAILS)).bottom);
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, ReportFollowsTheScreenOrderNotTheRunOrder)
{
    BlockRemoval();
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    // Hidden and disabled, but the run reads them: tick them from outside.
    SetCheck(dialog, IDC_IE, true);
    SetCheck(dialog, IDC_NETSCAPE, true);
    ASSERT_TRUE(RunInstallation(dialog));

    const std::string report = ReadControlText(dialog, IDC_DETAILS);
    ASSERT_EQ(report.compare(0, strlen(REMOVAL_FAILED_ENTRY), REMOVAL_FAILED_ENTRY), 0) << report;
    const char *headers[] = {
        "Detekcja/deinstalacja poprzedniego środowiska OCF: ",
        "Instalacja sterownika czytnika kart: ",
        "Instalacja komponentów dla MS Internet Explorera: ",
        "Instalacja komponentów dla Netscape 4.x: ",
        "Instalacja komponentów dla Java Plug-in: ",
    };
    size_t previous = 0;
    for (const char *header : headers) {
        size_t at = report.find(std::string("\r\n\r\n") + header);
        if (at == std::string::npos && report.compare(0, strlen(header), header) == 0)
            at = 0;
        ASSERT_NE(at, std::string::npos) << header << " missing in:\n" << report;
        EXPECT_GE(at, previous) << header;
        previous = at;
    }
    EXPECT_EQ(report.compare(report.size() - 4, 4, "\r\n\r\n"), 0);
    // Neither Netscape nor the Windows directory's "java" on this machine.
    EXPECT_EQ(Labels(dialog), "[OK][BŁĄD][UWAGA][OK]");
    ExpectAfterRunState(dialog);
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, AbortInTheJavaPluginStepStopsTheDriverStep)
{
    BlockJreLibrary();
    PromptAnswerer conflicts(CONFLICT_PROMPT_CAPTION);
    conflicts.Queue(IDABORT);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));

    ExpectAllPromptsAnswered(conflicts);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), "");
    EXPECT_EQ(Labels(dialog), "[][][][]");
    ExpectAfterRunState(dialog);
    EXPECT_EQ(StartedDrivers(), "");
    // An aborted run is a run: closing asks for the restart.
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, AbortAfterAFailedRemovalReportsOnlyTheRemoval)
{
    BlockRemoval();
    BlockJreLibrary();
    PromptAnswerer conflicts(CONFLICT_PROMPT_CAPTION);
    conflicts.Queue(IDABORT);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));
    ExpectAllPromptsAnswered(conflicts);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), REMOVAL_FAILED_ENTRY);
    EXPECT_EQ(Labels(dialog), "[][][][]");
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, AbortInInternetExplorerRunsNothingAfterIt)
{
    // A file of the IE tree that the platform refuses to replace.
    const std::string lib = JoinPath(WindowsDirectory(), "java\\lib");
    const std::string readme = JoinPath(lib, "README.txt");
    ASSERT_TRUE(MakeDirectories(lib));
    SetReadOnly(readme, false);
    ASSERT_TRUE(WriteTextFile(readme, "an older readme"));
    SetReadOnly(readme, true);
    PromptAnswerer conflicts(CONFLICT_PROMPT_CAPTION);
    conflicts.Queue(IDABORT);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_IE, true);
    SetCheck(dialog, IDC_NETSCAPE, true);
    ASSERT_TRUE(RunInstallation(dialog));
    SetReadOnly(readme, false);
    DeleteFileA(readme.c_str());

    ExpectAllPromptsAnswered(conflicts);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), "");
    EXPECT_EQ(Labels(dialog), "[][][][]");
    EXPECT_TRUE(RecordedCalls(JoinPath(jre, "bin\\java.exe")).empty());
    EXPECT_FALSE(FileExists(JoinPath(jre, "lib\\ext\\ocf1.2.jar")));
    EXPECT_EQ(StartedDrivers(), "");
    ExpectAfterRunState(dialog);
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, AbortInNetscapeRunsNothingAfterIt)
{
    // The current user's Netscape, with a class file that the platform
    // refuses to replace.
    const std::string install = machine / "Netscape\\Communicator";
    const std::string classes = JoinPath(install, "Program\\java\\classes");
    ASSERT_TRUE(MakeDirectories(classes));
    ASSERT_TRUE(WriteTextFile(JoinPath(classes, "README.txt"), "an older readme"));
    SetReadOnly(JoinPath(classes, "README.txt"), true);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Netscape\\Netscape Navigator\\Main", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Install Directory", 0, REG_SZ, (const BYTE *)install.c_str(),
                   (DWORD)install.size() + 1);
    RegCloseKey(key);
    PromptAnswerer conflicts(CONFLICT_PROMPT_CAPTION);
    conflicts.Queue(IDABORT);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_NETSCAPE, true);
    ASSERT_TRUE(RunInstallation(dialog));

    ExpectAllPromptsAnswered(conflicts);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), "");
    EXPECT_EQ(Labels(dialog), "[][][][]");
    EXPECT_TRUE(RecordedCalls(JoinPath(jre, "bin\\java.exe")).empty());
    EXPECT_FALSE(FileExists(JoinPath(jre, "lib\\ext\\ocf1.2.jar")));
    EXPECT_FALSE(FileExists(JoinPath(jdk, "jre\\lib\\ext\\ocf1.2.jar")));
    EXPECT_EQ(StartedDrivers(), "");
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, AWinscardPlantedBesideTheInstallerIsNeverLoaded)
{
    ASSERT_TRUE(CopyFileA(DoublePath("winscard.dll").c_str(), (package / "winscard.dll").c_str(),
                          FALSE));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_JAVA_PLUGIN, false);
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), "Instalacja sterownika czytnika kart: OK\r\n\r\n");
    EXPECT_EQ(Lower(SystemWinscard::LoadedFrom()), Lower(SystemWinscard::SystemPath()));
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, NoSelectionGivesTheOutOfListEntryWithoutStartingADriver)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_JAVA_PLUGIN, false);
    Select(dialog, -1);
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS),
              "Instalacja sterownika czytnika kart: BŁĄD - Wybór czytnika kart spoza dostępnej "
              "listy\r\n\r\n");
    EXPECT_EQ(Labels(dialog), "[BŁĄD][][][]");
    EXPECT_EQ(StartedDrivers(), "");
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, SecondListItemStartsTheWindows7DriverInstaller)
{
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_JAVA_PLUGIN, false);
    Select(dialog, 1);
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), "Instalacja sterownika czytnika kart: OK\r\n\r\n");
    EXPECT_EQ(Labels(dialog), "[OK][][][]");
    EXPECT_EQ(StartedDrivers(), "twin64.bat\r\n");
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, EveryStepFailingStillEndsInTheAfterRunState)
{
    BlockRemoval();
    RemoveTree(package / "sun");
    RemoveTree(package / "Drivers");
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS),
              std::string(REMOVAL_FAILED_ENTRY) + INCOMPLETE_REPORT);
    EXPECT_EQ(Labels(dialog), "[BŁĄD][][][BŁĄD]");
    ExpectAfterRunState(dialog);
    CloseAfterRun(dialog);
}

TEST_F(InstallerRun, CommandsWhileAConflictPromptIsOpenChangeNothing)
{
    BlockJreLibrary();
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    PressButton(dialog, IDOK);
    HWND prompt = WaitForProcessWindow(process->id(), "#32770", CONFLICT_PROMPT_CAPTION,
                                       WINDOW_TIMEOUT_MS);
    ASSERT_NE(prompt, nullptr);

    // The package's owner swaps the driver installer meanwhile: the run uses
    // its own copy, made before the first component.
    ASSERT_TRUE(WriteTextFile(package / "Drivers\\twin8_64.bat",
                              "@echo swapped>>\"" + started + "\"\r\n"));
    // The prompt has no owner, so the dialog takes all of these meanwhile.
    EXPECT_TRUE(IsWindowEnabled(dialog));
    PressButton(dialog, IDOK);
    PressButton(dialog, IDCANCEL);
    PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    // Posted last, so handled last: once it shows, all of these were handled.
    const HWND details = GetDlgItem(dialog, IDC_DETAILS);
    PostMessageA(details, EM_SETLIMITTEXT, 60000, 0);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(details, EM_GETLIMITTEXT, 0, 0) == 60000; }));
    SaveStateScreenshot("prompt-open");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDOK), "In&staluj");
    EXPECT_EQ(ReadControlText(dialog, IDCANCEL), "&Zaniechaj");
    EXPECT_EQ(process->WaitForExit(0), (DWORD)STILL_ACTIVE);
    EXPECT_EQ(restart_notices.Count(), 0);
    EXPECT_TRUE(IsWindowVisible(prompt));
    // A link to a folder with a file appears in the copy meanwhile.
    const std::vector<std::string> copies = PrivateCopies(process->id());
    ASSERT_EQ(copies.size(), 1u);
    const std::string &copy = copies[0];
    EXPECT_FALSE(MoveFileA(copy.c_str(), (copy + "-moved").c_str()));  // held open
    const std::string linked = JoinPath(copy, "cleanup");
    ASSERT_TRUE(MoveFileA(MOVABLE_CLEANUP, linked.c_str()));

    PressButton(prompt, IDRETRY);
    ASSERT_TRUE(WaitForText(dialog, IDCANCEL, "&Zamknij", 120000));
    SaveStateScreenshot("after-run");
    // Wine can remove no such link (it follows it): the fixture takes it back.
    EXPECT_TRUE(MoveFileA(linked.c_str(), MOVABLE_CLEANUP));
    EXPECT_EQ(ReadTextFile("C:\\links\\target\\kept.txt"), "kept\n");
    const std::string pending = PendingRenames();
    EXPECT_EQ(pending.find("cleanup\\link"), std::string::npos);
    EXPECT_EQ(pending.find("links\\target"), std::string::npos);
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), JAVA_OK_REPORT);
    EXPECT_EQ(Labels(dialog), "[OK][][][OK]");
    EXPECT_EQ(RecordedCalls(JoinPath(jre, "bin\\java.exe")).size(), 2u) << "a second run";
    EXPECT_EQ(StartedDrivers(), "twin8_64.bat\r\n");
    EXPECT_EQ(ReadControlText(dialog, IDOK), "&Szczegóły >>");
    CloseAfterRun(dialog);
}

// The program as a release builds it, started from another folder: the package
// is the folder of instalator.exe, copied and checked against the program's
// list before the first component. A file changed since the release is
// neither started nor placed, nor is the rest of "sun"; the copy is removed.
TEST_F(InstallerRun, ListedProgramStartsAndPlacesOnlyWhatTheReleaseHeld)
{
    const std::string built = WindowsPath(PACKAGE_DIR);
    ASSERT_TRUE(CopyFileA(WindowsPath(LISTED_INSTALATOR_EXE).c_str(),
                          (package / "instalator.exe").c_str(), FALSE));
    start_directory = machine.path();
    // The chosen reader's installer is the release's; another differs (the
    // fixture's own twin.bat), and so does a library of "sun".
    for (const char *name : {"Drivers\\twin8_64.bat", "Drivers\\twin64.bat", "Drivers\\twin8.bat"})
        ASSERT_TRUE(CopyFileA(JoinPath(built, name).c_str(), (package / name).c_str(), FALSE));
    ASSERT_TRUE(WriteTextFile(package / "sun\\ocfpcsc1.dll", "not the release's"));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));
    ExpectNothingOfThePackageUsed(dialog);
    EXPECT_FALSE(FileExists(JoinPath(SystemDirectory(), "ocfpcsc1.dll")));
    EXPECT_TRUE(PrivateCopies(process->id()).empty());
    CloseAfterRun(dialog);

    // The release's own files pass.
    for (const char *name : {"sun\\ocfpcsc1.dll", "Drivers\\twin.bat"})
        ASSERT_TRUE(CopyFileA(JoinPath(built, name).c_str(), (package / name).c_str(), FALSE));
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlText(dialog, IDC_DETAILS), JAVA_OK_REPORT);
    CloseAfterRun(dialog);
}

// A temporary folder below a link, which others could redirect, holds no
// copy: the run works from one in the Windows directory's Temp, and leaves
// none behind, nor what an earlier run left.
TEST_F(InstallerRun, ATemporaryFolderBelowALinkGivesWayToTheWindowsTemp)
{
    char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    SetEnvironmentVariableA("TMP", "C:\\links\\link");
    SetEnvironmentVariableA("TEMP", "C:\\links\\link");
    // A copy that an earlier run left there goes now.
    const std::string leftover = WindowsDirectory() + "\\Temp\\instalator-1-0";
    ASSERT_TRUE(MakeDirectories(leftover + "\\Drivers"));
    ASSERT_TRUE(WriteTextFile(leftover + "\\Drivers\\twin.bat", "left"));
    HWND dialog = OpenDialog();
    SetEnvironmentVariableA("TMP", tmp);
    SetEnvironmentVariableA("TEMP", temp);
    ASSERT_NE(dialog, nullptr);
    SetCheck(dialog, IDC_DRIVERS, false);
    ASSERT_TRUE(RunInstallation(dialog));
    std::vector<std::string> calls = RecordedCalls(JoinPath(jre, "bin\\java.exe"));
    ASSERT_FALSE(calls.empty());
    const std::string copy = calls[0].substr(0, calls[0].find("\\sun\t"));
    EXPECT_EQ(Lower(copy).find(Lower(WindowsDirectory()) + "\\temp\\instalator-"), 0u) << copy;
    EXPECT_FALSE(DirectoryExists(copy));
    EXPECT_FALSE(DirectoryExists(leftover));
    CloseAfterRun(dialog);
}

// Where no whole private copy can be made, nothing of the package runs.
TEST_F(InstallerRun, APackageFileThatCannotBeCopiedRunsNoComponent)
{
    HANDLE held = CreateFileA((package / "sun\\ocf1.2.jar").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(RunInstallation(dialog));
    CloseHandle(held);
    ExpectNothingOfThePackageUsed(dialog);
    EXPECT_TRUE(PrivateCopies(process->id()).empty());
    CloseAfterRun(dialog);
}

} // namespace
