// The card reader driver component against a winscard.dll of the test in the
// real system directory and a "Drivers" directory of real stand-in installers.
#include "components.h"
#include "doubles.h"
#include "shell.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

using namespace std::string_literals;

const char UNTOUCHED[] = "untouched";
const char GEMPLUS_MESSAGE[] = "Wykryto już zainstalowany w systemie czytnik rodziny GEMPLUS";
const char INCOMPLETE_MESSAGE[] = "Instalator jest niekompletny";
const char INVALID_TYPE_MESSAGE[] = "Nieprawidłowy typ czytnika";

struct Installer {
    int reader_type;
    const char *file_name;
};

const Installer INSTALLERS[] = {
    {0, "twin.bat"}, {1, "410.exe"}, {2, "twin64.bat"}, {4, "twin8.bat"}, {5, "twin8_64.bat"},
};

class ReaderDriver : public ::testing::Test {
protected:
    explicit ReaderDriver(bool place_double = true) : winscard(place_double) {}

    void SetUp() override
    {
        strcpy(message, UNTOUCHED);
        drivers = package / "Drivers";
        ASSERT_TRUE(MakeDirectories(drivers));
        for (const Installer &installer : INSTALLERS) {
            std::string path = JoinPath(drivers, installer.file_name);
            if (installer.reader_type == 1) {
                ASSERT_TRUE(PlaceRecordingProgram(path));
            } else {
                // Leaves the directory it ran in where the test can see it.
                ASSERT_TRUE(WriteTextFile(path, "@echo %CD%> "s + installer.file_name + ".ran\r\n"));
            }
        }
    }

    // The directory that the stand-in installer reports it ran in, once it
    // has ended (it is started within the call); empty when it never ran.
    std::string WaitForRun(const char *file_name)
    {
        std::string path = JoinPath(drivers, file_name);
        WaitUntil([] { return !HasRunningChild(GetCurrentProcessId()); });
        if (strcmp(file_name, "410.exe") == 0) {
            std::vector<std::string> calls = RecordedCalls(path);
            return calls.empty() ? std::string() : calls[0].substr(0, calls[0].find('\t'));
        }
        std::string ran = ReadTextFile(path + ".ran");
        return ran.find("\r\n") != std::string::npos ? ran.substr(0, ran.find("\r\n")) : "";
    }

    int Install(int reader_type)
    {
        CurrentDirectory inside(package.path());
        int result = InstallReaderDriver(reader_type, message, sizeof message);
        EXPECT_EQ(CurrentDirectory::Get(), package.path());
        return result;
    }

    SystemWinscard winscard;
    ScratchDir package;
    std::string drivers;
    char message[592];
};

class ReaderDriverWithoutService : public ReaderDriver {
protected:
    ReaderDriverWithoutService() : ReaderDriver(false) {}
};

TEST_F(ReaderDriver, GemplusReaderInAnyCaseStartsNothing)
{
    ASSERT_TRUE(winscard.placed());
    const std::string lists[] = {
        "Gemplus GemPC Twin 00 00\0\0"s,
        "ACS ACR38U 0\0gemPLUS USB SmartCard Reader 1\0\0"s,
        "GEMGEMPLUS\0\0"s,
    };
    for (const std::string &list : lists) {
        SystemWinscard::SetReaders(list);
        strcpy(message, UNTOUCHED);
        EXPECT_EQ(Install(5), RESULT_WARNING);
        EXPECT_STREQ(message, GEMPLUS_MESSAGE);
    }
    EXPECT_EQ(SystemWinscard::LoadedFrom(), SystemWinscard::SystemPath());
    // An installer is started within the call: none running now, none left a mark.
    EXPECT_FALSE(HasRunningChild(GetCurrentProcessId()));
    EXPECT_FALSE(FileExists(JoinPath(drivers, "twin8_64.bat.ran")));
}

TEST_F(ReaderDriver, GemplusReaderWinsOverMissingDriversAndInvalidType)
{
    SystemWinscard::SetReaders("Gemplus USB\0\0"s);
    RemoveTree(drivers);
    EXPECT_EQ(Install(3), RESULT_WARNING);
    EXPECT_STREQ(message, GEMPLUS_MESSAGE);
    EXPECT_EQ(InstallReaderDriver(-1, nullptr, 0), RESULT_WARNING);
}

TEST_F(ReaderDriver, PatternSplitAcrossTwoReadersIsNoGemplusReader)
{
    SystemWinscard::SetReaders("Reader GEMPLU\0S 2\0\0"s);
    EXPECT_EQ(Install(5), RESULT_OK);
    EXPECT_STREQ(message, UNTOUCHED);
    EXPECT_EQ(WaitForRun("twin8_64.bat"), drivers);
}

TEST_F(ReaderDriver, EveryValidTypeStartsItsInstallerInDrivers)
{
    SystemWinscard::SetReaders("ACS ACR38U 0\0\0"s);
    for (const Installer &installer : INSTALLERS) {
        EXPECT_EQ(Install(installer.reader_type), RESULT_OK) << installer.file_name;
        EXPECT_STREQ(message, UNTOUCHED);
        EXPECT_EQ(WaitForRun(installer.file_name), drivers) << installer.file_name;
    }
    // 410.exe got no arguments: its command line is its bare name (quoted by Wine).
    std::vector<std::string> calls = RecordedCalls(JoinPath(drivers, "410.exe"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0] == drivers + "\t410.exe" || calls[0] == drivers + "\t\"410.exe\"")
        << calls[0];
}

// A batch file runs through the system's cmd.exe without AutoRun (/d), by its
// full path; the recording program stands in for cmd.exe meanwhile (wine-run
// lets a real program there take the place of Wine's own).
TEST_F(ReaderDriver, BatchFileRunsThroughTheSystemsCmdWithoutAutoRun)
{
    SystemWinscard::SetMode(1);
    const std::string cmd = JoinPath(SystemDirectory(), "cmd.exe");
    const std::string saved = package / "cmd.exe";
    ASSERT_TRUE(CopyFileA(cmd.c_str(), saved.c_str(), FALSE));
    ASSERT_TRUE(PlaceRecordingProgram(cmd));
    // Wine would run its own cmd.exe in the system directory otherwise.
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "winscard=n;cmd.exe=n");
    EXPECT_EQ(Install(5), RESULT_OK);
    // Its image can be replaced only once it has ended.
    WaitUntil([] { return !HasRunningChild(GetCurrentProcessId()); });
    std::vector<std::string> calls = RecordedCalls(cmd);
    EXPECT_TRUE(CopyFileA(saved.c_str(), cmd.c_str(), FALSE));
    DeleteFileA(JoinPath(SystemDirectory(), "cmd.calls").c_str());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], drivers + "\t\"" + cmd + "\" /d /s /c \"\"" + drivers + "\\twin8_64.bat\"\"");
}

TEST_F(ReaderDriver, InstallerThatFailsStillCountsAsStarted)
{
    SystemWinscard::SetMode(1);
    ASSERT_TRUE(SetRecordedExitCodes(JoinPath(drivers, "410.exe"), "7\r\n"));
    EXPECT_EQ(Install(1), RESULT_OK);
    EXPECT_EQ(WaitForRun("410.exe"), drivers);
}

TEST_F(ReaderDriver, UnusablePcscServiceStillStartsTheDriver)
{
    SystemWinscard::SetMode(1);  // no reader known
    EXPECT_EQ(Install(2), RESULT_OK);
    EXPECT_EQ(WaitForRun("twin64.bat"), drivers);

    SystemWinscard::SetReaders("Gemplus USB\0\0"s);
    SystemWinscard::SetMode(2);  // the list query fails after the size query
    EXPECT_EQ(Install(4), RESULT_OK);
    EXPECT_EQ(WaitForRun("twin8.bat"), drivers);
    EXPECT_STREQ(message, UNTOUCHED);
}

TEST_F(ReaderDriverWithoutService, MissingWinscardStillStartsTheDriver)
{
    SystemWinscard::SetReaders("Gemplus USB\0\0"s);
    EXPECT_EQ(Install(0), RESULT_OK);
    EXPECT_EQ(WaitForRun("twin.bat"), drivers);
    EXPECT_EQ(SystemWinscard::LoadedFrom(), "");
}

TEST_F(ReaderDriver, InvalidTypesAreReportedAndStartNothing)
{
    SystemWinscard::SetMode(1);
    for (int reader_type : {3, -1, 6, 0x7fffffff}) {
        strcpy(message, UNTOUCHED);
        EXPECT_EQ(Install(reader_type), RESULT_ERROR) << reader_type;
        EXPECT_STREQ(message, INVALID_TYPE_MESSAGE);
    }
}

TEST_F(ReaderDriver, MissingDriversComesBeforeTheType)
{
    SystemWinscard::SetMode(1);
    RemoveTree(drivers);
    EXPECT_EQ(Install(3), RESULT_ERROR);
    EXPECT_STREQ(message, INCOMPLETE_MESSAGE);
    strcpy(message, UNTOUCHED);
    EXPECT_EQ(Install(5), RESULT_ERROR);
    EXPECT_STREQ(message, INCOMPLETE_MESSAGE);
}

TEST_F(ReaderDriver, MissingInstallerFileIsNamedInTheMessage)
{
    SystemWinscard::SetMode(1);
    ASSERT_TRUE(DeleteFileA(JoinPath(drivers, "twin8_64.bat").c_str()));
    EXPECT_EQ(Install(5), RESULT_ERROR);
    EXPECT_STREQ(message, "Błąd uruchomienia zewn. sterownika: Drivers\\twin8_64.bat");

    char small[20];
    CurrentDirectory inside(package.path());
    EXPECT_EQ(InstallReaderDriver(5, small, sizeof small), RESULT_ERROR);
    EXPECT_STREQ(small, "Błąd uruchomienia z");
    EXPECT_EQ(InstallReaderDriver(5, nullptr, 592), RESULT_ERROR);
    EXPECT_EQ(InstallReaderDriver(3, nullptr, 592), RESULT_ERROR);
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
}

} // namespace

namespace {

// Runs the probe copied into `program_dir` with `current_dir` as its current
// directory and `argument` (reader_driver_probe.cpp); returns its exit code,
// or -1 when it did not run.
int RunProbe(const std::string &program_dir, const std::string &current_dir,
             const std::string &argument = "5")
{
    std::string probe = JoinPath(program_dir, "probe.exe");
    if (!CopyFileA(DoublePath("reader_driver_probe.exe").c_str(), probe.c_str(), FALSE))
        return -1;
    std::string command = "probe.exe " + argument;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(probe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        current_dir.c_str(), &startup, &process))
        return -1;
    DWORD exit_code = (DWORD)-1;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)exit_code;
}

class PlantedWinscard : public ::testing::TestWithParam<bool> {
protected:
    ScratchDir program_dir;
    ScratchDir current_dir;
};

// A winscard.dll beside the program or in the current directory (a download
// folder) is never loaded, with or without the system's own copy.
TEST_P(PlantedWinscard, IsNotLoaded)
{
    bool system_double = GetParam();
    SystemWinscard winscard(system_double);
    ASSERT_EQ(winscard.placed(), system_double);
    SystemWinscard::SetReaders("Gemplus USB\0\0"s);
    if (system_double)
        SystemWinscard::SetMode(1);
    ASSERT_TRUE(CopyFileA(DoublePath("winscard.dll").c_str(),
                          (program_dir / "winscard.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(DoublePath("winscard.dll").c_str(),
                          (current_dir / "winscard.dll").c_str(), FALSE));

    // No "Drivers" in the current directory: an unplanted run reports the
    // package incomplete, a planted one would find the GEMPLUS reader.
    EXPECT_EQ(RunProbe(program_dir.path(), current_dir.path()), RESULT_ERROR);
    EXPECT_EQ(SystemWinscard::LoadedFrom(), system_double ? SystemWinscard::SystemPath() : "");

    // The same with the program's directory clean: the current one alone.
    ASSERT_TRUE(DeleteFileA((program_dir / "winscard.dll").c_str()));
    SystemWinscard::Reset();
    SystemWinscard::SetReaders("Gemplus USB\0\0"s);
    if (system_double)
        SystemWinscard::SetMode(1);
    EXPECT_EQ(RunProbe(program_dir.path(), current_dir.path()), RESULT_ERROR);
    EXPECT_EQ(SystemWinscard::LoadedFrom(), system_double ? SystemWinscard::SystemPath() : "");
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSystemCopy, PlantedWinscard, ::testing::Bool());

// Where Windows refuses LOAD_LIBRARY_SEARCH_SYSTEM32, winscard.dll is loaded by
// its full system path: the system's copy, not the one beside the program.
TEST(SystemLibraryByFullPath, LoadsTheSystemCopyNotOnePlantedBesideTheProgram)
{
    SystemWinscard winscard(true);
    ASSERT_TRUE(winscard.placed());
    ScratchDir program_dir;
    ASSERT_TRUE(CopyFileA(DoublePath("winscard.dll").c_str(),
                          (program_dir / "winscard.dll").c_str(), FALSE));
    EXPECT_EQ(RunProbe(program_dir.path(), program_dir.path(), "system-library"), 0);
    EXPECT_EQ(SystemWinscard::LoadedFrom(), SystemWinscard::SystemPath());
}

// Where SetDefaultDllDirectories is missing, the DLLs that Windows loads by name
// later are already the system directory's.
TEST(DllSearchFallback, LoadsEachListedDllFromTheSystemDirectory)
{
    RestrictDllSearchFallback();
    for (const char *name : PRELOADED_SYSTEM_DLLS) {
        std::string path = JoinPath(SystemDirectory(), name);
        if (!FileExists(path))
            continue;  // Wine has no cryptbase.dll and no clbcatq.dll
        HMODULE module = GetModuleHandleA(name);
        ASSERT_NE(module, nullptr) << name;
        char loaded[MAX_PATH] = "";
        GetModuleFileNameA(module, loaded, sizeof loaded);
        EXPECT_EQ(_stricmp(loaded, path.c_str()), 0) << loaded;
    }
}

} // namespace

namespace {

// The package's own stand-in installers end by themselves, with no input.
TEST(PackageDrivers, StandInsEndByThemselves)
{
    std::string drivers = JoinPath(TestProgramDirectory(), "..\\package\\Drivers");
    CurrentDirectory inside(drivers);
    std::vector<PROCESS_INFORMATION> started;
    for (const Installer &installer : INSTALLERS) {
        ASSERT_TRUE(FileExists(JoinPath(drivers, installer.file_name))) << installer.file_name;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        // As the installer starts them: the bare name, no command line, in
        // "Drivers". The installer has no console, so each gets its own.
        ASSERT_TRUE(CreateProcessA(installer.file_name, nullptr, nullptr, nullptr, FALSE,
                                   CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process))
            << installer.file_name;
        CloseHandle(process.hThread);
        started.push_back(process);
    }
    for (size_t i = 0; i < started.size(); ++i) {
        EXPECT_EQ(WaitForSingleObject(started[i].hProcess, 60000), WAIT_OBJECT_0)
            << INSTALLERS[i].file_name << " did not end";
        DWORD exit_code = 1;
        GetExitCodeProcess(started[i].hProcess, &exit_code);
        EXPECT_EQ(exit_code, 0u) << INSTALLERS[i].file_name;
        TerminateProcess(started[i].hProcess, 1);
        CloseHandle(started[i].hProcess);
    }
}

} // namespace
