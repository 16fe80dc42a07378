// The Java Plug-in component against real registry keys under
// HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft, Java homes of the test with a recording
// java.exe, the real system directory and real conflict prompts.
#include "components.h"
#include "doubles.h"
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <string.h>

namespace {

using namespace std::string_literals;

const char UNTOUCHED[] = "untouched";
const char JAVASOFT[] = "SOFTWARE\\JavaSoft";
const char JRE[] = "Java Runtime Environment";
const char JDK[] = "Java Development Kit";
const char ABORT_MESSAGE[] = "Przerwa na życzenie użytkownika";
const char NOT_FOUND_MESSAGE[] = "Nie wykryto instalacji środowiska JRE/JDK lub aplikacja nie "
                                 "była uruchamiona z prawami administratora";
const char NO_HOME_MESSAGE[] = "Nie zainstalowano sterowników OCF dla żadnego środowiska JRE/JDK";
const char BRIDGE_MESSAGE[] = "Błąd kopiowania biblioteki obsługi czytników PC/SC: ocfpcsc1.dll";
const char *const SYSTEM_BRIDGES[] = {"ocfpcsc1.dll", "ocfpcsc164.dll", "ocfpcsc1_64.dll"};

std::string Partial(int vm, int ol, int op, int jp)
{
    return "Niepełna instalacja sterowników OCF dla środowiska JRE/JDK; kod operacji: VM" +
           std::to_string(vm) + "OL" + std::to_string(ol) + "OP" + std::to_string(op) + "JP" +
           std::to_string(jp);
}

void SetHomeValue(const char *kind, const std::string &subkey, DWORD type, const std::string &data)
{
    HKEY key = nullptr;
    std::string path = std::string(JAVASOFT) + "\\" + kind + "\\" + subkey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "JavaHome", 0, type, (const BYTE *)data.data(),
                             (DWORD)data.size()),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void Register(const char *kind, const std::string &subkey, const std::string &home)
{
    SetHomeValue(kind, subkey, REG_SZ, home + '\0');
}

// Sets a variable of this process's environment for one scope; a null value
// removes it.
class Variable {
public:
    Variable(const char *name, const char *value) : name_(name)
    {
        char saved[MAX_PATH] = "";
        DWORD length = GetEnvironmentVariableA(name, saved, sizeof saved);
        had_ = length != 0 && length < sizeof saved;
        saved_ = saved;
        SetEnvironmentVariableA(name, value);
    }
    ~Variable() { SetEnvironmentVariableA(name_, had_ ? saved_.c_str() : nullptr); }

private:
    const char *name_;
    bool had_;
    std::string saved_;
};

class JavaPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        strcpy(message, UNTOUCHED);
        RemoveSystemBridges();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
        sun = package / "sun";
        ASSERT_TRUE(MakeDirectories(sun));
        for (const char *name : {"ocf1.2.jar", "opencard.properties", "java.policy",
                                 "ocfpcsc1.dll", "ocfpcsc1_64.dll"})
            ASSERT_TRUE(WriteTextFile(JoinPath(sun, name), std::string("package ") + name));
    }

    void TearDown() override
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
        RemoveSystemBridges();
        ExpectAllPromptsAnswered(prompts);
    }

    static void RemoveSystemBridges()
    {
        for (const char *name : SYSTEM_BRIDGES) {
            std::string path = JoinPath(SystemDirectory(), name);
            SetReadOnly(path, false);
            DeleteFileA(path.c_str());
            RemoveDirectoryA(path.c_str());
        }
    }

    // A Java home of the test: its launcher, its extension and security
    // directories (for a JDK under "jre") and the policy it came with.
    std::string MakeHome(const std::string &name, bool jdk = false)
    {
        // Under a name with a space, like C:\Program Files\Java\jre: the
        // command interpreter then keeps the quotes the launcher sees.
        std::string home = homes / ("Java " + name);
        std::string lib = jdk ? home + "\\jre\\lib" : home + "\\lib";
        EXPECT_TRUE(PlaceRecordingProgram(home + "\\bin\\java.exe"));
        EXPECT_TRUE(MakeDirectories(lib + "\\ext"));
        EXPECT_TRUE(MakeDirectories(lib + "\\security"));
        EXPECT_TRUE(WriteTextFile(lib + "\\security\\java.policy", "original policy of " + name));
        return home;
    }

    int Install()
    {
        CurrentDirectory inside(package.path());
        int result = InstallJavaPluginComponents(message, sizeof message);
        EXPECT_EQ(CurrentDirectory::Get(), package.path());
        return result;
    }

    // The calls that the home's launcher recorded.
    static std::vector<std::string> Calls(const std::string &home)
    {
        return RecordedCalls(home + "\\bin\\java.exe");
    }

    std::vector<std::string> CommandsOf(const std::string &home)
    {
        return {sun + "\t\"" + home + "\\bin\\java.exe\" CopyPolicyFile .java.policy",
                sun + "\t\"" + home + "\\bin\\java.exe\" CopyPolicyFile .opencard.properties"};
    }

    void ExpectOcfFiles(const std::string &home, bool jdk = false)
    {
        std::string lib = jdk ? home + "\\jre\\lib" : home + "\\lib";
        EXPECT_EQ(ReadTextFile(lib + "\\ext\\ocf1.2.jar"), "package ocf1.2.jar") << home;
        EXPECT_EQ(ReadTextFile(lib + "\\opencard.properties"), "package opencard.properties");
        EXPECT_EQ(ReadTextFile(lib + "\\security\\java.policy"), "package java.policy");
    }

    static std::string SystemFile(const char *name) { return JoinPath(SystemDirectory(), name); }

    ScratchDir package;
    ScratchDir homes;
    std::string sun;
    char message[592];
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
};

TEST_F(JavaPlugin, OneJreGetsEverythingAndItsBackupOnce)
{
    std::string home = MakeHome("jre");
    Register(JRE, "1.8", home);

    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_STREQ(message, UNTOUCHED);
    ExpectOcfFiles(home);
    std::string backup = home + "\\lib\\security\\java.policy.ocf-bak";
    EXPECT_EQ(ReadTextFile(backup), "original policy of jre");
    EXPECT_EQ(Calls(home), CommandsOf(home));
    EXPECT_EQ(ReadTextFile(SystemFile("ocfpcsc1.dll")), "package ocfpcsc1.dll");
    EXPECT_EQ(ReadTextFile(SystemFile("ocfpcsc164.dll")), "package ocfpcsc1.dll");
    EXPECT_EQ(ReadTextFile(SystemFile("ocfpcsc1_64.dll")), "package ocfpcsc1_64.dll");
    EXPECT_EQ(ReadTextFile(home + "\\lib\\ext\\ocfpcsc1.dll"), "package ocfpcsc1.dll");
    EXPECT_EQ(ReadTextFile(home + "\\lib\\ext\\ocfpcsc1_64.dll"), "package ocfpcsc1_64.dll");

    // A reinstall replaces the policy and keeps the backup of the original;
    // the equal system libraries need no prompt.
    ASSERT_TRUE(WriteTextFile(home + "\\lib\\security\\java.policy", "edited policy"));
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(ReadTextFile(backup), "original policy of jre");
    EXPECT_EQ(ReadTextFile(home + "\\lib\\security\\java.policy"), "package java.policy");
    EXPECT_EQ(Calls(home).size(), 4u);
}

TEST_F(JavaPlugin, CountersShowInThePartialMessage)
{
    // The one home's library copy fails: both commands and the policy make JP 3.
    std::string home = MakeHome("jre");
    RemoveTree(home + "\\lib\\ext");
    Register(JRE, "1.8", home);
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(1, 0, 1, 3));

    // The second command runs whatever the first gave.
    ASSERT_TRUE(SetRecordedExitCodes(home + "\\bin\\java.exe", "1\r\n0\r\n"));
    DeleteFileA((home + "\\bin\\java.calls").c_str());
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(1, 0, 1, 2));
    EXPECT_EQ(Calls(home), CommandsOf(home));
}

TEST_F(JavaPlugin, OnlyJdksUseTheirJreSubpathsAndTheirOwnLauncher)
{
    std::string first = MakeHome("jdk1", true);
    std::string second = MakeHome("jdk2", true);
    Register(JDK, "1.8", first);
    Register(JDK, "11", second);

    EXPECT_EQ(Install(), RESULT_OK);
    ExpectOcfFiles(first, true);
    ExpectOcfFiles(second, true);
    EXPECT_EQ(ReadTextFile(first + "\\jre\\lib\\security\\java.policy.ocf-bak"),
              "original policy of jdk1");
    // The commands ran for the first home only: the policy work had succeeded.
    EXPECT_EQ(Calls(first), CommandsOf(first));
    EXPECT_TRUE(Calls(second).empty());
    // No JRE home, so no bridge library into any extension directory.
    EXPECT_FALSE(FileExists(first + "\\jre\\lib\\ext\\ocfpcsc1.dll"));
    EXPECT_FALSE(FileExists(second + "\\jre\\lib\\ext\\ocfpcsc1_64.dll"));
    EXPECT_TRUE(FileExists(SystemFile("ocfpcsc1_64.dll")));
}

TEST_F(JavaPlugin, TwoSubkeysNamingOneHomeCountTwiceAndKeepTheBackup)
{
    std::string home = MakeHome("jre");
    RemoveTree(home + "\\lib\\ext");  // shows VM in the message
    Register(JRE, "1.8", home);
    Register(JRE, "1.8.0_391", home);

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(2, 0, 2, 4));
    EXPECT_EQ(Calls(home), CommandsOf(home));
    EXPECT_EQ(ReadTextFile(home + "\\lib\\security\\java.policy.ocf-bak"),
              "original policy of jre");
}

TEST_F(JavaPlugin, PartialInstallationOfTwoHomes)
{
    std::string jre = MakeHome("jre");
    std::string jdk = MakeHome("jdk", true);
    RemoveTree(jdk + "\\jre\\lib\\ext");
    Register(JRE, "1.8", jre);
    Register(JDK, "1.8", jdk);

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(2, 1, 2, 4));
    EXPECT_EQ(ReadTextFile(jre + "\\lib\\ext\\ocfpcsc1.dll"), "package ocfpcsc1.dll");
}

TEST_F(JavaPlugin, FailedPolicyWorkRunsTheCommandsAgainForTheNextHome)
{
    std::string first = MakeHome("jre1");
    std::string second = MakeHome("jre2");
    ASSERT_TRUE(SetRecordedExitCodes(first + "\\bin\\java.exe", "1\r\n"));
    RemoveTree(first + "\\lib\\security");
    Register(JRE, "a", first);
    Register(JRE, "b", second);

    EXPECT_EQ(Install(), RESULT_OK);  // JP 3 of VM 2
    EXPECT_EQ(Calls(first), CommandsOf(first));
    EXPECT_EQ(Calls(second), CommandsOf(second));
    // The last JRE in enumeration order gets the bridge libraries.
    EXPECT_TRUE(FileExists(second + "\\lib\\ext\\ocfpcsc1_64.dll"));
    EXPECT_FALSE(FileExists(first + "\\lib\\ext\\ocfpcsc1_64.dll"));
}

TEST_F(JavaPlugin, EachCommandRunsHomeAfterHomeUntilItHasExitedWithZeroOnce)
{
    // Two homes with every policy placed. Launcher exit codes (null: no
    // launcher), how many of its last commands each home ran, the result.
    const struct {
        const char *first_codes, *second_codes;
        size_t first_ran, second_ran;
        int result;
        std::string message;
    } runs[] = {
        {nullptr, "0", 0, 2, RESULT_OK, UNTOUCHED},
        {"1", "1", 2, 2, RESULT_WARNING, Partial(2, 2, 2, 2)},
        {"0\r\n1", "0", 2, 1, RESULT_OK, UNTOUCHED},
    };
    for (const auto &run : runs) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
        std::string homes_of_run[2];
        const char *codes[2] = {run.first_codes, run.second_codes};
        for (int i = 0; i < 2; ++i) {
            homes_of_run[i] = MakeHome(std::to_string(&run - runs) + "ab"[i]);
            std::string launcher = homes_of_run[i] + "\\bin\\java.exe";
            if (codes[i] == nullptr)
                DeleteFileA(launcher.c_str());
            else
                ASSERT_TRUE(SetRecordedExitCodes(launcher, codes[i] + "\r\n"s));
            Register(JRE, std::string(1, "ab"[i]), homes_of_run[i]);
        }
        strcpy(message, UNTOUCHED);
        EXPECT_EQ(Install(), run.result) << run.message;
        EXPECT_EQ(message, run.message);
        std::vector<std::string> first = CommandsOf(homes_of_run[0]);
        std::vector<std::string> second = CommandsOf(homes_of_run[1]);
        EXPECT_EQ(Calls(homes_of_run[0]),
                  std::vector<std::string>(first.end() - run.first_ran, first.end()));
        EXPECT_EQ(Calls(homes_of_run[1]),
                  std::vector<std::string>(second.end() - run.second_ran, second.end()));
    }
}

TEST_F(JavaPlugin, AHomeThatOthersMayChangeGetsNothing)
{
    // Wine shows a folder of another Unix user, root's /tmp, as Anonymous's
    // with full access; the fixture's C:\links\jre holds a link in lib\ext,
    // and its C:\links\wide one in a folder that ANSI names as its sibling.
    std::string open_home = "Z:\\tmp\\ocf-test-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(PlaceRecordingProgram(open_home + "\\bin\\java.exe"));
    ASSERT_TRUE(MakeDirectories(open_home + "\\lib\\ext"));
    std::string home = MakeHome("jre");
    Register(JRE, "a", home);
    Register(JRE, "b", open_home);
    Register(JRE, "c", "C:\\links\\jre");
    Register(JRE, "d", "C:\\links\\wide");
    // The same names without the link: a home like any other.
    std::string twin = MakeHome("wide");
    ASSERT_TRUE(MakeDirectories(twin + "\\lib\\A"));
    const std::wstring wide_twin(twin.begin(), twin.end());  // ASCII
    ASSERT_TRUE(CreateDirectoryW((wide_twin + L"\\lib\\\u0100").c_str(), nullptr));
    Register(JRE, "e", twin);

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(5, 2, 2, 4));
    EXPECT_TRUE(Calls(open_home).empty());
    EXPECT_EQ(Calls(home), CommandsOf(home));
    EXPECT_TRUE(FileExists(twin + "\\lib\\ext\\ocf1.2.jar"));
    // The bridge libraries go to the last JRE that we trust.
    EXPECT_TRUE(FileExists(twin + "\\lib\\ext\\ocfpcsc1_64.dll"));
    RemoveTree(open_home);
}

TEST_F(JavaPlugin, NoJavaSoftStillPlacesTheSystemLibraries)
{
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_STREQ(message, NOT_FOUND_MESSAGE);
    for (const char *name : SYSTEM_BRIDGES)
        EXPECT_TRUE(FileExists(SystemFile(name))) << name;

    // JavaSoft without either kind of Java is the same.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Web Start", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    CurrentDirectory inside(package.path());
    EXPECT_EQ(InstallJavaPluginComponents(nullptr, 592), RESULT_WARNING);
    char small[8];
    EXPECT_EQ(InstallJavaPluginComponents(small, sizeof small), RESULT_WARNING);
    EXPECT_STREQ(small, "Nie wyk");
}

TEST_F(JavaPlugin, UnreadableAndOddHomesAreSkippedWithoutHarm)
{
    HKEY key = nullptr;
    std::string no_value = std::string(JAVASOFT) + "\\" + JRE + "\\1.7";
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, no_value.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    std::string odd = homes / "odd";
    SetHomeValue(JRE, "fills the buffer", REG_SZ, std::string(261, 'C') + '\0');
    SetHomeValue(JRE, "too long", REG_SZ, std::string(300, 'C') + '\0');
    // A shorter value without terminator comes back terminated by the registry.
    SetHomeValue(JRE, "no terminator", REG_SZ, std::string(262, 'C'));
    SetHomeValue(JRE, "binary", REG_BINARY, odd + '\0');
    SetHomeValue(JRE, "size 0", REG_SZ, "");
    SetHomeValue(JRE, "empty", REG_SZ, "\0"s);
    SetHomeValue(JRE, "dword", REG_DWORD, "\x01\x02\x03\x04"s);
    SetHomeValue(JRE, "multi", REG_MULTI_SZ, odd + "\0\0"s);
    // Expanded, 261 characters do not fit either.
    Variable pad("OCF_TEST_PAD", std::string(200, 'C').c_str());
    SetHomeValue(JRE, "expands to 261", REG_EXPAND_SZ,
                 "%OCF_TEST_PAD%" + std::string(61, 'C') + '\0');

    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, NO_HOME_MESSAGE);
    EXPECT_TRUE(FileExists(SystemFile("ocfpcsc1.dll")));

    // The same odd keys beside one sound home: only that one counts.
    std::string home = MakeHome("jre");
    Register(JRE, "zz", home);
    strcpy(message, UNTOUCHED);
    EXPECT_EQ(Install(), RESULT_OK);
    ExpectOcfFiles(home);
    EXPECT_FALSE(DirectoryExists(odd));

    // 260 do, and count.
    SetHomeValue(JRE, "expands to 260", REG_EXPAND_SZ,
                 "%OCF_TEST_PAD%" + std::string(60, 'C') + '\0');
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(2, 1, 1, 3));
}

TEST_F(JavaPlugin, HomeWithTrailingBackslashOrExtraTerminatorsGetsExactPaths)
{
    std::string slashed = MakeHome("slashed");
    std::string padded = MakeHome("padded", true);
    SetHomeValue(JRE, "1.8", REG_SZ, slashed + "\\" + '\0');
    ASSERT_EQ(padded.substr(0, 2), "C:");
    SetHomeValue(JDK, "1.8", REG_EXPAND_SZ, "%SystemDrive%" + padded.substr(2) + "\0\0\0\0"s);
    ASSERT_TRUE(SetRecordedExitCodes(slashed + "\\bin\\java.exe", "1\r\n"));

    EXPECT_EQ(Install(), RESULT_OK);
    ExpectOcfFiles(slashed);
    ExpectOcfFiles(padded, true);
    EXPECT_EQ(ReadTextFile(slashed + "\\lib\\security\\java.policy.ocf-bak"),
              "original policy of slashed");
    EXPECT_EQ(ReadTextFile(padded + "\\jre\\lib\\security\\java.policy.ocf-bak"),
              "original policy of padded");
    EXPECT_EQ(Calls(slashed),
              (std::vector<std::string>{
                  sun + "\t\"" + slashed + "\\bin\\java.exe\" CopyPolicyFile .java.policy",
                  sun + "\t\"" + slashed + "\\bin\\java.exe\" CopyPolicyFile .opencard.properties"}));
    // The slashed home's commands failed: the padded home's ran.
    EXPECT_EQ(Calls(padded), CommandsOf(padded));
    EXPECT_EQ(ReadTextFile(slashed + "\\lib\\ext\\ocfpcsc1.dll"), "package ocfpcsc1.dll");
}

TEST_F(JavaPlugin, BridgePairCountsByItsLaterCopy)
{
    std::string home = MakeHome("jre");
    Register(JRE, "1.8", home);
    // A directory in the way makes a copy fail without a prompt.
    ASSERT_TRUE(CreateDirectoryA(SystemFile("ocfpcsc1.dll").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(SystemFile("ocfpcsc1_64.dll").c_str(), nullptr));
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_STREQ(message, UNTOUCHED);

    RemoveSystemBridges();
    ASSERT_TRUE(CreateDirectoryA(SystemFile("ocfpcsc164.dll").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(SystemFile("ocfpcsc1_64.dll").c_str(), nullptr));
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, BRIDGE_MESSAGE);
    EXPECT_EQ(ReadTextFile(SystemFile("ocfpcsc1.dll")), "package ocfpcsc1.dll");

    RemoveSystemBridges();
    for (const char *name : SYSTEM_BRIDGES)
        ASSERT_TRUE(CreateDirectoryA(SystemFile(name).c_str(), nullptr));
    strcpy(message, UNTOUCHED);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, BRIDGE_MESSAGE);
    // The JRE's own copies do not count, and are still made.
    EXPECT_EQ(ReadTextFile(home + "\\lib\\ext\\ocfpcsc1_64.dll"), "package ocfpcsc1_64.dll");
}

TEST_F(JavaPlugin, AbortInTheFirstLibraryCopyStopsEverything)
{
    std::string first = MakeHome("jre1");
    std::string second = MakeHome("jre2");
    Register(JRE, "a", first);
    Register(JRE, "b", second);
    std::string library = first + "\\lib\\ext\\ocf1.2.jar";
    ASSERT_TRUE(WriteTextFile(library, "locked library"));
    SetReadOnly(library, true);
    prompts.Queue(IDABORT);

    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, ABORT_MESSAGE);
    EXPECT_EQ(ReadTextFile(library), "locked library");
    EXPECT_FALSE(FileExists(first + "\\lib\\opencard.properties"));
    EXPECT_FALSE(FileExists(first + "\\lib\\security\\java.policy.ocf-bak"));
    EXPECT_FALSE(FileExists(second + "\\lib\\ext\\ocf1.2.jar"));
    EXPECT_TRUE(Calls(first).empty());
    EXPECT_TRUE(Calls(second).empty());
    for (const char *name : SYSTEM_BRIDGES)
        EXPECT_FALSE(FileExists(SystemFile(name))) << name;
    EXPECT_FALSE(FileExists(first + "\\lib\\ext\\ocfpcsc1.dll"));
}

TEST_F(JavaPlugin, AbortInTheSystemLibraryCopyStillFeedsTheJre)
{
    std::string home = MakeHome("jre");
    Register(JRE, "1.8", home);
    ASSERT_TRUE(WriteTextFile(SystemFile("ocfpcsc1.dll"), "another bridge"));
    SetReadOnly(SystemFile("ocfpcsc1.dll"), true);
    prompts.Queue(IDABORT);

    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, ABORT_MESSAGE);
    ExpectOcfFiles(home);
    EXPECT_EQ(ReadTextFile(home + "\\lib\\ext\\ocfpcsc1.dll"), "package ocfpcsc1.dll");
    EXPECT_FALSE(FileExists(SystemFile("ocfpcsc164.dll")));
    EXPECT_FALSE(FileExists(SystemFile("ocfpcsc1_64.dll")));
    EXPECT_FALSE(FileExists(home + "\\lib\\ext\\ocfpcsc1_64.dll"));
}

TEST_F(JavaPlugin, NoSunTouchesNothing)
{
    std::string home = MakeHome("jre");
    Register(JRE, "1.8", home);
    RemoveTree(sun);

    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, "Instalator jest niekompletny");
    EXPECT_TRUE(Calls(home).empty());
    EXPECT_FALSE(FileExists(home + "\\lib\\security\\java.policy.ocf-bak"));
    EXPECT_FALSE(FileExists(SystemFile("ocfpcsc1.dll")));
}

TEST_F(JavaPlugin, LongHomeKeepsItsBackupOnReinstall)
{
    // The backup's path passes 128 characters.
    std::string home = MakeHome(std::string(110, 'j'));
    Register(JRE, "1.8", home);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(ReadTextFile(home + "\\lib\\security\\java.policy.ocf-bak"),
              "original policy of " + std::string(110, 'j'));
}

TEST_F(JavaPlugin, PolicyWithoutABackupIsLeftAlone)
{
    // The longest policy path whose backup name still fits in 259 characters,
    // and the first that does not; failed commands leave JP to the policies.
    const std::string policy = "\\lib\\security\\java.policy";
    const size_t fitting_home = 259 - strlen(".ocf-bak") - policy.size();
    const size_t prefix = (homes / "Java ").size();
    std::string fits = MakeHome(std::string(fitting_home - prefix, 'f'));
    std::string cut = MakeHome(std::string(fitting_home + 1 - prefix, 'c'));
    ASSERT_TRUE(SetRecordedExitCodes(fits + "\\bin\\java.exe", "1\r\n"));
    ASSERT_TRUE(SetRecordedExitCodes(cut + "\\bin\\java.exe", "1\r\n"));
    Register(JRE, "a", fits);
    Register(JRE, "b", cut);
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(2, 2, 2, 1));
    EXPECT_EQ(ReadTextFile(fits + policy), "package java.policy");
    EXPECT_EQ((fits + policy + ".ocf-bak").size(), 259u);
    EXPECT_EQ(ReadTextFile(fits + policy + ".ocf-bak"), "original policy of " + fits.substr(prefix));
    EXPECT_EQ(ReadTextFile(cut + policy), "original policy of " + cut.substr(prefix));

    // A backup that cannot be made for any other reason keeps the policy too.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, JAVASOFT);
    std::string home = MakeHome("jre");
    ASSERT_TRUE(SetRecordedExitCodes(home + "\\bin\\java.exe", "1\r\n1\r\n"));
    ASSERT_TRUE(CreateDirectoryA((home + policy + ".ocf-bak").c_str(), nullptr));
    Register(JRE, "1.8", home);
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(1, 1, 1, 0));
    EXPECT_EQ(ReadTextFile(home + policy), "original policy of jre");
}

TEST_F(JavaPlugin, TargetsWithASecondNameAreNotWrittenNorPrompted)
{
    std::string home = MakeHome("jre");
    std::string policy = home + "\\lib\\security\\java.policy";
    std::string elsewhere = homes / "not ours";
    ASSERT_TRUE(WriteTextFile(elsewhere, "not ours"));
    ASSERT_TRUE(DeleteFileA(policy.c_str()));
    ASSERT_TRUE(CreateHardLinkA(policy.c_str(), elsewhere.c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkA((home + "\\lib\\ext\\ocfpcsc1.dll").c_str(), elsewhere.c_str(),
                                nullptr));
    ASSERT_TRUE(SetRecordedExitCodes(home + "\\bin\\java.exe", "1\r\n"));  // JP shows the policy
    Register(JRE, "1.8", home);

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(1, 1, 1, 0));
    EXPECT_EQ(ReadTextFile(elsewhere), "not ours");
    EXPECT_EQ(ReadTextFile(home + "\\lib\\ext\\ocfpcsc1_64.dll"), "package ocfpcsc1_64.dll");
}

TEST_F(JavaPlugin, NothingIsWrittenThroughALinkMadeWhileAPromptIsOpen)
{
    // The fixture's folder whose "security" links to C:\links\target takes
    // the place of the home's lib while the prompt for a read-only file waits.
    std::string home = MakeHome("jre");
    const std::string lib = home + "\\lib", movable = "C:\\links\\movable\\lib";
    ASSERT_TRUE(WriteTextFile(lib + "\\opencard.properties", "read-only properties"));
    SetReadOnly(lib + "\\opencard.properties", true);
    ASSERT_TRUE(SetRecordedExitCodes(home + "\\bin\\java.exe", "1\r\n"));  // JP shows the policy
    Register(JRE, "1.8", home);
    prompts.Queue(IDRETRY, [&] {
        EXPECT_TRUE(MoveFileA(lib.c_str(), (lib + " away").c_str()));
        EXPECT_TRUE(MoveFileA(movable.c_str(), lib.c_str()));
    });

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_TRUE(MoveFileA(lib.c_str(), movable.c_str()));  // RemoveTree would follow the link
    EXPECT_EQ(message, Partial(1, 1, 1, 0));
    EXPECT_FALSE(FileExists("C:\\links\\target\\java.policy"));
    EXPECT_FALSE(FileExists("C:\\links\\target\\java.policy.ocf-bak"));
}

TEST_F(JavaPlugin, RetryDeletesNothingThroughALinkMadeAboveItsTarget)
{
    // While the prompt for the read-only policy waits, "security" becomes a
    // link to a folder with someone else's java.policy.
    std::string home = MakeHome("jre");
    const std::string lib = home + "\\lib", movable = "C:\\links\\movable\\lib";
    const std::string theirs = "C:\\links\\target\\java.policy";
    SetReadOnly(lib + "\\security\\java.policy", true);
    ASSERT_TRUE(WriteTextFile(theirs, "someone else's"));
    Register(JRE, "1.8", home);
    prompts.Queue(IDRETRY, [&] {
        EXPECT_TRUE(MoveFileA(lib.c_str(), (lib + " away").c_str()));
        EXPECT_TRUE(MoveFileA(movable.c_str(), lib.c_str()));
    });

    Install();
    EXPECT_TRUE(MoveFileA(lib.c_str(), movable.c_str()));  // RemoveTree would follow the link
    EXPECT_EQ(ReadTextFile(theirs), "someone else's");
    DeleteFileA(theirs.c_str());
}

TEST_F(JavaPlugin, CommandsRunThroughTheInterpreterThatComspecNames)
{
    std::string home = MakeHome("jre");
    RemoveTree(home + "\\lib\\ext");  // shows JP in the message
    Register(JRE, "1.8", home);
    std::string interpreter = homes / "my shell.exe";
    ASSERT_TRUE(PlaceRecordingProgram(interpreter));
    ASSERT_TRUE(SetRecordedExitCodes(interpreter, "0\r\n1\r\n"));
    Variable comspec("COMSPEC", interpreter.c_str());

    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_EQ(message, Partial(1, 0, 1, 2));
    // After /c, the command line in one more pair of quotes, which /s takes off.
    std::vector<std::string> expected;
    for (const std::string &call : CommandsOf(home))
        expected.push_back(sun + "\t\"" + interpreter + "\" /d /s /c \"" +
                           call.substr(sun.size() + 1) + "\"");
    EXPECT_EQ(RecordedCalls(interpreter), expected);
    EXPECT_TRUE(Calls(home).empty());
}

TEST_F(JavaPlugin, WithoutAUsableComspecTheSystemCmdRunsTheCommands)
{
    std::string home = MakeHome("jre");
    Register(JRE, "1.8", home);
    // A relative name would be found in the current directory, "sun".
    ASSERT_TRUE(PlaceRecordingProgram(sun + "\\logger.exe"));
    for (const char *value : {(const char *)nullptr, "C:\\missing\\cmd.exe", "logger.exe"}) {
        Variable comspec("COMSPEC", value);
        DeleteFileA((home + "\\bin\\java.calls").c_str());
        EXPECT_EQ(Install(), RESULT_OK) << (value ? value : "unset");
        EXPECT_EQ(Calls(home), CommandsOf(home)) << (value ? value : "unset");
    }
    EXPECT_TRUE(RecordedCalls(sun + "\\logger.exe").empty());
}

TEST_F(JavaPlugin, TheRealCmdRunsTheLauncherOfAHomeWithParentheses)
{
    // Losing the quotes, cmd.exe would run the path's first word: Java.bat.
    std::string home = MakeHome("(x64)\\jre1");
    std::string planted_run = homes / "planted.ran";
    ASSERT_TRUE(WriteTextFile(homes / "Java.bat", "echo ran> \"" + planted_run + "\"\r\n"));
    Register(JRE, "1.8", home);

    EXPECT_EQ(Install(), RESULT_OK) << message;
    EXPECT_EQ(Calls(home), CommandsOf(home));
    EXPECT_FALSE(FileExists(planted_run));
}

TEST(CommandInterpreter, TheLongestLineRunsAndOneMoreCharacterRunsNothing)
{
    Variable comspec("COMSPEC", nullptr);  // the system's cmd.exe
    std::string cmd = JoinPath(SystemDirectory(), "cmd.exe");
    // "<cmd>" /d /s /c "<command>" fills 1023 characters at most.
    std::string longest = "exit 7";
    longest.resize(1023 - cmd.size() - (sizeof "\"\" /d /s /c \"\"" - 1), ' ');
    EXPECT_EQ(RunCommandInterpreter((longest + " ").c_str()), -1);
    EXPECT_EQ(RunCommandInterpreter(longest.c_str()), 7);
}

TEST(CommandInterpreter, TempNamesTheCurrentDirectoryAndAValueTheCodePageCannotSpellArrivesWhole)
{
    Variable comspec("COMSPEC", nullptr);
    ScratchDir here;
    CurrentDirectory inside(here.path());
    Variable temp("TEMP", "C:\\"), wide("OCF_WIDE", nullptr), same("OCF_SAME", nullptr),
        other("OCF_OTHER", nullptr), best_fit("OCF_BEST_FIT", "A");
    SetEnvironmentVariableW(L"OCF_WIDE", L"\u0100");
    SetEnvironmentVariableW(L"OCF_SAME", L"\u0100");
    SetEnvironmentVariableW(L"OCF_OTHER", L"\u0101");
    // Defined, equal to its twin, and neither its best fit nor another letter.
    EXPECT_EQ(RunCommandInterpreter(("if \"%TEMP%|%TMP%\"==\"" + here.path() + "|" + here.path() +
                                     "\" if defined OCF_WIDE if \"%OCF_WIDE%\"==\"%OCF_SAME%\" "
                                     "if not \"%OCF_WIDE%\"==\"%OCF_BEST_FIT%\" "
                                     "if not \"%OCF_WIDE%\"==\"%OCF_OTHER%\" exit 5")
                                        .c_str()),
              5);
}

TEST(LauncherTrust, OnlySystemAdministratorsTrustedInstallerAndTheInstallerMayChange)
{
    const std::string me = "S-1-5-21-1-2-3-1001";
    const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string users_write = "O:SYD:(A;;FA;;;SY)(A;;0x1200a9;;;BU)(A;;FW;;;BU)";
    const struct {
        std::string sddl;
        int kind;
        bool others_may_change;
    } cases[] = {
        {users_write, TRUST_LAUNCHER, true},
        {users_write, TRUST_LAUNCHER_FOLDER, true},  // a DLL beside the launcher
        {users_write, TRUST_PATH_FOLDER, false},     // only adds beside what exists
        {"O:SYD:(A;;FA;;;BA)(A;;0x40;;;BU)", TRUST_PATH_FOLDER, true},  // deletes children
        {"O:SYD:(A;;FA;;;BA)(A;;WD;;;BU)", TRUST_PATH_FOLDER, true},
        {"O:S-1-5-21-1-2-3-1002D:(A;;FA;;;SY)(A;;FA;;;BA)", TRUST_PATH_FOLDER, true},
        // The default C:\ (Authenticated Users add folders), and a folder made in it.
        {"O:SYG:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)"
         "(A;CI;LC;;;AU)(A;OICIIO;SDGXGWGR;;;AU)",
         TRUST_PATH_FOLDER, false},
        {"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1301bf;;;AU)", TRUST_PATH_FOLDER,
         true},
        {"O:" + installer + "D:PAI(A;;FA;;;" + installer + ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
         "(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         "(A;OICIIO;GA;;;CO)",
         TRUST_LAUNCHER_FOLDER, false},
        {"O:BAD:PAI(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;BU)", TRUST_LAUNCHER, false},
        {"O:" + me + "D:(A;;FA;;;" + me + ")(A;;FA;;;SY)", TRUST_LAUNCHER, false},
        {"O:SYD:(A;OICIIO;GA;;;BU)(A;;FA;;;SY)", TRUST_LAUNCHER_FOLDER, false},  // inherit-only
        {"O:SYD:(A;;GW;;;BU)", TRUST_LAUNCHER, true},
        {"O:SYD:(D;;FA;;;BU)(A;;FA;;;BU)", TRUST_LAUNCHER, true},  // a deny is not relied on
        {"O:SY", TRUST_PATH_FOLDER, true},  // no DACL: everyone may do anything
        // Temporary folders for the private copy: the user's own, Windows\Temp (for
        // C:\Temp, see the folder made in C:\ above).
        {"O:" + me + "D:(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;" + me + ")",
         TRUST_PATH_FOLDER, false},
        {"O:SYD:P(A;OICIIO;FA;;;CO)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;CI;0x100026;;;BU)",
         TRUST_PATH_FOLDER, false},
        // Inside a Java home: a jar users may append to, a lib\ext they may add to.
        {"O:BAD:AI(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;;0x4;;;BU)", TRUST_LAUNCHER, true},
        {"O:BAD:AI(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;;0x2;;;BU)", TRUST_CODE_FOLDER, true},
        {"O:BAD:AI(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;;0x4;;;BU)", TRUST_CODE_FOLDER, true},
        // Files that we add to a code folder take its object-inherit grants.
        {"O:BAD:P(A;;FA;;;BA)(A;OIIO;0x2;;;BU)", TRUST_CODE_FOLDER, true},
        {"O:BAD:P(A;;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICIIO;GXGR;;;BU)", TRUST_CODE_FOLDER, false},
    };
    PSID installer_user = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(me.c_str(), &installer_user));
    for (const auto &c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            c.sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            << c.sddl;
        ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
        EXPECT_EQ(OthersMayChange(owner, present ? dacl : nullptr, c.kind, installer_user) != 0,
                  c.others_may_change)
            << c.sddl << " kind " << c.kind;
        LocalFree(descriptor);
    }
    // A grant that the rule cannot read refuses: (OA;;FR;<type>;;WD), an object
    // ACE, which Wine does not parse.
    struct {
        ACL acl;
        ACCESS_ALLOWED_OBJECT_ACE ace;
    } object = {{ACL_REVISION_DS, 0, sizeof object, 1, 0},
                {{ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, sizeof object.ace}, FILE_GENERIC_READ,
                 ACE_OBJECT_TYPE_PRESENT}};
    SID everyone = {SID_REVISION, 1, SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}};
    memcpy(&object.ace.InheritedObjectType, &everyone, sizeof everyone);  // the SID's place
    EXPECT_TRUE(OthersMayChange(installer_user, &object.acl, TRUST_LAUNCHER, installer_user));
    LocalFree(installer_user);
}

} // namespace
