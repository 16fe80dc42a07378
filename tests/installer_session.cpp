#include "doubles.h"
#include "installer_session.h"


const char CONFIRMATION_CAPTION[] = "Instalator czytnika kart mikropr. dla przeglądarek internetowych";
const char CONFIRMATION_TEXT[] =
    "Za chwilę rozpocznie się instalacja i konfiguracja środowiska obsługi czytnika kart "
    "mikroprocesorowych, dla współpracy z przeglądarkami internetowymi: MS Internet Explorer i "
    "tych pracujących\nna bazie silnika Java Plug-in (m.in. przeglądarki: Mozilla, Netscape 7.x, "
    "Opera)\n\nInstalator spróbuje samodzielnie wykryć przeglądarki zainstalowane na tym "
    "komputerze i dokonać dla nich konfiguracji odpowiedniego środowiska. Dlatego też należy "
    "mieć już zainstalowane przeglądarki internetowe, które mają współpracować z czytnikiem "
    "kart, lub gdy ich nie ma, opuścić ten instalator, zainstalować wymagane przeglądarki i "
    "uruchomić go ponownie.\n\nCzy chcesz kontynuować instalacje ?";
const char DIALOG_TITLE[] = "Instalator czytnika kart mikroproc. [v2.8]";
const char RESTART_CAPTION[] = "Info";
const char REGISTRATION_KEY[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\InstalatorCzytnikaKart";
const char SHARED_COUNT_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char RESTART_TEXT[] =
    "Dla poprawnego zakończenia instalacji konieczne jest zrestartowanie komputera.";

void CopyDirectory(const std::string &source, const std::string &target)
{
    MakeDirectories(target);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((source + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyDirectory(JoinPath(source, name), JoinPath(target, name));
        else
            CopyFileA(JoinPath(source, name).c_str(), JoinPath(target, name).c_str(), FALSE);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void Installer::SetUp()
{
    const std::string built = WindowsPath(PACKAGE_DIR);
    ASSERT_TRUE(CopyFileA(WindowsPath(INSTALATOR_EXE).c_str(),
                          (package / "instalator.exe").c_str(), FALSE));
    for (const char *subdirectory : {"sun", "Drivers", "msie", "ns"}) {
        if (DirectoryExists(JoinPath(built, subdirectory)))
            CopyDirectory(JoinPath(built, subdirectory), package / subdirectory);
    }
}

void Installer::TearDown()
{
    process.reset();
    for (const char *name : {"ocf1.2.jar", "ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"}) {
        const std::string path = JoinPath(SystemDirectory(), name);
        SetReadOnly(path, false);
        DeleteFileA(path.c_str());
    }
    RemoveTree(JoinPath(WindowsDirectory(), "java"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Netscape");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
    RemoveTree("C:\\Program Files\\Instalator czytnika kart");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, REGISTRATION_KEY);
    for (const char *name : {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"})
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, SHARED_COUNT_KEY,
                           JoinPath(SystemDirectory(), name).c_str());
    // What a run left of its private copy for the next restart.
    for (const std::string &copy : PrivateCopies())
        RemoveTree(copy);
}

std::vector<std::string> PrivateCopies(DWORD process_id)
{
    char temp[MAX_PATH];
    std::vector<std::string> found;
    GetTempPathA(sizeof temp, temp);
    const std::string pattern = process_id ? "instalator-" + std::to_string(process_id) + "-*"
                                           : "instalator-*";
    for (const std::string &folder : {std::string(temp), JoinPath(WindowsDirectory(), "Temp")}) {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA(JoinPath(folder, pattern).c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do
            found.push_back(JoinPath(folder, entry.cFileName));
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    return found;
}

void RegisterJavaHome(const std::string &home, const std::string &jre_part, const char *kind,
                      const std::string &version)
{
    ASSERT_TRUE(PlaceRecordingProgram(JoinPath(home, "bin\\java.exe")));
    ASSERT_TRUE(MakeDirectories(JoinPath(home, jre_part + "lib\\ext")));
    ASSERT_TRUE(MakeDirectories(JoinPath(home, jre_part + "lib\\security")));
    ASSERT_TRUE(WriteTextFile(JoinPath(home, jre_part + "lib\\security\\java.policy"),
                              "original policy"));
    HKEY key;
    std::string path = std::string("SOFTWARE\\JavaSoft\\") + kind + "\\" + version;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "JavaHome", 0, REG_SZ, (const BYTE *)home.c_str(),
                   (DWORD)home.size() + 1);
    RegCloseKey(key);
}

void Installer::Start()
{
    process.reset(new ChildProcess(package / "instalator.exe",
                                   start_directory.empty() ? package.path() : start_directory,
                                   arguments));
    ASSERT_TRUE(process->started());
}

HWND Installer::Confirmation()
{
    return WaitForProcessWindow(process->id(), "#32770", CONFIRMATION_CAPTION, WINDOW_TIMEOUT_MS);
}

HWND Installer::OpenDialog()
{
    Start();
    if (!process->started())
        return nullptr;
    HWND box = Confirmation();
    if (box == nullptr)
        return nullptr;
    PressButton(box, IDYES);
    HWND dialog = WaitForProcessWindow(process->id(), "#32770", DIALOG_TITLE, WINDOW_TIMEOUT_MS);
    // Shown before it is activated: keys pressed in between would be lost.
    WaitUntil([dialog] { return !dialog || GetForegroundWindow() == dialog; }, WINDOW_TIMEOUT_MS);
    SaveStateScreenshot("dialog");
    return dialog;
}

bool Installer::RunInstallation(HWND dialog)
{
    PressButton(dialog, IDOK);
    bool ended = WaitForText(dialog, IDCANCEL, "&Zamknij", 120000);
    SaveStateScreenshot(ended ? "after-run" : "run-did-not-end");
    return ended;
}

DWORD Installer::ExitCode()
{
    return process->WaitForExit(60000);
}

void Installer::CloseAfterRun(HWND dialog)
{
    restart_notices.Queue(IDOK);
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
    ExpectAllPromptsAnswered(restart_notices);
}
