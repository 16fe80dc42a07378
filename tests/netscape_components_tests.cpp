// The Netscape 4.x component against the real current-user registry, with a
// Netscape installation, its "Users" profiles and a package of its own in
// scratch directories, and the conflict prompt answered through its real box.
#include "components.h"
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

const char NETSCAPE_KEY[] = "Software\\Netscape\\Netscape Navigator\\Main";
const char NOT_FOUND[] = "Nie wykryto zainstalownej przeglądarki Netscape 4.x";
const char NO_PROFILE[] = "Nie skopiowano pliku opencard.properties do żadnego z profilów "
                          "użytkowników przeglądarki Netscape";
const char CONFIGURATION[] = "OpenCard.terminals = pcsc\r\n";

class NetscapeComponents : public ::testing::Test {
protected:
    void SetUp() override
    {
        HKEY probe;
        // The tests own the Netscape key outright and remove it afterwards.
        ASSERT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Netscape", 0, KEY_READ, &probe),
                  ERROR_SUCCESS)
            << "a Netscape key exists before the test";
        ASSERT_TRUE(MakeDirectories(package / "ns\\jars\\sub"));
        ASSERT_TRUE(WriteTextFile(package / "ns\\jars\\base.jar", "base"));
        ASSERT_TRUE(WriteTextFile(package / "ns\\jars\\sub\\pcsc.jar", "pcsc"));
        ASSERT_TRUE(WriteTextFile(package / "ns\\ocfpcsc1.dll", "bridge"));
        ASSERT_TRUE(WriteTextFile(package / "ns\\opencard.properties", CONFIGURATION));

        install = netscape / "Communicator";
        ASSERT_TRUE(MakeDirectories(JoinPath(install, "Program\\java\\classes")));
        ASSERT_TRUE(MakeDirectories(JoinPath(install, "Program\\java\\bin")));
        ASSERT_TRUE(MakeDirectories(netscape / "Users\\alice"));
        ASSERT_TRUE(MakeDirectories(netscape / "Users\\bob"));
        ASSERT_TRUE(WriteTextFile(netscape / "Users\\notes.txt", "not a profile"));
        strcpy(message, "untouched");
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Netscape"); }

    void SetValue(const void *data, DWORD size, DWORD type)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, NETSCAPE_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (data != nullptr)
            EXPECT_EQ(RegSetValueExA(key, "Install Directory", 0, type,
                                     static_cast<const BYTE *>(data), size),
                      ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetInstallDirectory(const std::string &directory)
    {
        SetValue(directory.c_str(), (DWORD)directory.size() + 1, REG_SZ);
    }

    int Install() { return InstallNetscapeComponents(message, sizeof message); }

    std::string Profile(const std::string &name)
    {
        return netscape / ("Users\\" + name + "\\.opencard.properties");
    }
    std::string Library() { return JoinPath(install, "Program\\java\\bin\\ocfpcsc1.dll"); }
    std::string Classes(const std::string &name)
    {
        return JoinPath(install, "Program\\java\\classes\\" + name);
    }

    void ExpectNothingPlaced()
    {
        EXPECT_FALSE(FileExists(Classes("base.jar")));
        EXPECT_FALSE(FileExists(Library()));
        EXPECT_FALSE(FileExists(Profile("alice")));
        EXPECT_FALSE(FileExists(Profile("bob")));
    }

    ScratchDir package;
    ScratchDir netscape;
    CurrentDirectory in_package{package.path()};
    std::string install;
    char message[592];
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
};

TEST_F(NetscapeComponents, PlacesClassesLibraryAndEveryProfile)
{
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_STREQ(message, "untouched");
    EXPECT_EQ(ReadTextFile(Classes("base.jar")), "base");
    EXPECT_EQ(ReadTextFile(Classes("sub\\pcsc.jar")), "pcsc");
    EXPECT_EQ(ReadTextFile(Library()), "bridge");
    EXPECT_EQ(ReadTextFile(Profile("alice")), CONFIGURATION);
    EXPECT_EQ(ReadTextFile(Profile("bob")), CONFIGURATION);
    EXPECT_EQ(ReadTextFile(netscape / "Users\\notes.txt"), "not a profile");
    EXPECT_EQ(CurrentDirectory::Get(), package.path());

    // A second run over the first places the same files again.
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_OK);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, WithoutNsNothingIsPlaced)
{
    RemoveTree(package / "ns");
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, "Instalator jest niekompletny");
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_ERROR);
    ExpectNothingPlaced();
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
}

TEST_F(NetscapeComponents, NoKeyOrNoValueIsNetscapeNotFound)
{
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_STREQ(message, NOT_FOUND);

    SetValue(nullptr, 0, REG_SZ);
    strcpy(message, "untouched");
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_STREQ(message, NOT_FOUND);
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_WARNING);
    ExpectNothingPlaced();
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
}

TEST_F(NetscapeComponents, OddValuesAreNetscapeNotFound)
{
    struct OddValue {
        const char *what;
        std::string data;
        DWORD size;
        DWORD type;
    };
    const std::string full = install + "\\" + std::string(259 - install.size(), 'a');
    const DWORD number = 1;
    const OddValue values[] = {
        {"fills all 261 bytes", full, 261, REG_SZ},
        {"longer than the buffer", full + "bbbb", 265, REG_SZ},
        // A byte other than NUL right behind the data, or the registry would
        // count the terminator in for us as Windows does.
        {"no terminator", install + "#", (DWORD)install.size(), REG_SZ},
        {"size 0", install, 0, REG_SZ},
        {"empty", "", 1, REG_EXPAND_SZ},
        {"REG_DWORD", std::string((const char *)&number, sizeof number), sizeof number, REG_DWORD},
        {"REG_BINARY", install, (DWORD)install.size() + 1, REG_BINARY},
    };
    for (const OddValue &value : values) {
        SetValue(value.data.c_str(), value.size, value.type);
        strcpy(message, "untouched");
        EXPECT_EQ(Install(), RESULT_WARNING) << value.what;
        EXPECT_STREQ(message, NOT_FOUND) << value.what;
        EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_WARNING) << value.what;
    }
    ExpectNothingPlaced();
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, ExtraTerminatorsInTheValueChangeNothing)
{
    std::string value = install + std::string(3, '\0');
    SetValue(value.c_str(), (DWORD)value.size() + 1, REG_SZ);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(ReadTextFile(Library()), "bridge");
    EXPECT_EQ(ReadTextFile(Profile("alice")), CONFIGURATION);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, MissingJarsIsACopyErrorWithAnEmptyName)
{
    RemoveTree(package / "ns\\jars");
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, "Błąd kopiowania pliku: kod #2, plik: `" NAME_BEGIN NAME_END "'");
    ExpectNothingPlaced();
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
}

TEST_F(NetscapeComponents, MissingClassDirectoryStopsBeforeAnythingIsPlaced)
{
    RemoveTree(JoinPath(install, "Program\\java\\classes"));
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_ERROR);
    // The listing order decides whether a file (code 1) or the
    // subdirectory (code 3) fails first.
    EXPECT_EQ(std::string(message).rfind("Błąd kopiowania pliku: kod #", 0), 0u) << message;
    EXPECT_FALSE(DirectoryExists(JoinPath(install, "Program\\java\\classes")));
    ExpectNothingPlaced();
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, FailedLibraryCopyTouchesNoProfile)
{
    RemoveTree(JoinPath(install, "Program\\java\\bin"));
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message,
                 "Błąd kopiowania pliku: kod #1, plik: `" NAME_BEGIN "ocfpcsc1.dll" NAME_END "'");
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_ERROR);
    EXPECT_EQ(ReadTextFile(Classes("sub\\pcsc.jar")), "pcsc");
    EXPECT_FALSE(FileExists(Profile("alice")));
    EXPECT_FALSE(FileExists(Profile("bob")));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, AbortAtTheLibraryTouchesNoProfile)
{
    ASSERT_TRUE(WriteTextFile(Library(), "bridge v0"));
    SetReadOnly(Library(), true);
    SetInstallDirectory(install);
    prompts.Queue(IDABORT);
    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, "Przerwa na życzenie użytkownika");
    EXPECT_EQ(ReadTextFile(Library()), "bridge v0");
    EXPECT_FALSE(FileExists(Profile("alice")));
    EXPECT_FALSE(FileExists(Profile("bob")));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, OneFailedProfileCopyIsAPartialInstallation)
{
    // A directory in the file's place cannot be copied over, and no prompt comes.
    ASSERT_TRUE(MakeDirectories(Profile("bob")));
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_WARNING);
    EXPECT_STREQ(message, "Niepełna kopia pliku opencard.properties dla profilów użytkowników "
                          "przeglądarki Netscape; kod operacji: OP1PF2");
    EXPECT_EQ(ReadTextFile(Profile("alice")), CONFIGURATION);
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_WARNING);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, OnlyPlainDirectoriesAreProfiles)
{
    RemoveTree(netscape / "Users\\bob");
    std::string alice = netscape / "Users\\alice";
    SetInstallDirectory(install);
    // Wine keeps no read-only bit on a directory (attributes 17 read back as
    // 16); hidden and system directories show the same rule there.
    int runs = 0;
    for (DWORD extra : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        SetFileAttributesA(alice.c_str(), FILE_ATTRIBUTE_DIRECTORY | extra);
        if (Attributes(alice) != (FILE_ATTRIBUTE_DIRECTORY | extra))
            continue;
        ++runs;
        strcpy(message, "untouched");
        EXPECT_EQ(Install(), RESULT_ERROR) << extra;
        EXPECT_STREQ(message, NO_PROFILE) << extra;
        EXPECT_FALSE(FileExists(Profile("alice"))) << extra;
    }
    EXPECT_GE(runs, 2);
    EXPECT_EQ(ReadTextFile(Library()), "bridge");

    RemoveTree(netscape / "Users");
    EXPECT_EQ(InstallNetscapeComponents(nullptr, 592), RESULT_ERROR);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, NO_PROFILE);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, AbortAtTheSecondOfThreeProfilesVisitsNoMore)
{
    ASSERT_TRUE(MakeDirectories(netscape / "Users\\carol"));
    for (const char *name : {"alice", "bob", "carol"}) {
        ASSERT_TRUE(WriteTextFile(Profile(name), "old"));
        SetReadOnly(Profile(name), true);
    }
    SetInstallDirectory(install);
    prompts.Queue(IDIGNORE);
    prompts.Queue(IDABORT);
    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, "Przerwa na życzenie użytkownika");
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    // A third prompt would be unexpected.
    ExpectAllPromptsAnswered(prompts);
    EXPECT_EQ(prompts.Count(), 2);
}

TEST_F(NetscapeComponents, ValueEndingInABackslashIsItsOwnProfileParent)
{
    ASSERT_TRUE(MakeDirectories(JoinPath(install, "Users\\carol")));
    SetInstallDirectory(install + "\\");
    EXPECT_EQ(Install(), RESULT_OK) << message;
    EXPECT_EQ(ReadTextFile(Library()), "bridge");
    EXPECT_EQ(ReadTextFile(JoinPath(install, "Users\\carol\\.opencard.properties")),
              CONFIGURATION);
    EXPECT_FALSE(FileExists(Profile("alice")));
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, ValueWithoutABackslashLooksBesideThePackage)
{
    // A bare name resolves against "ns", and so does its "Users".
    ASSERT_TRUE(MakeDirectories(package / "ns\\inst\\Program\\java\\classes"));
    ASSERT_TRUE(MakeDirectories(package / "ns\\inst\\Program\\java\\bin"));
    ASSERT_TRUE(MakeDirectories(package / "ns\\Users\\dave"));
    SetInstallDirectory("inst");
    EXPECT_EQ(Install(), RESULT_OK) << message;
    EXPECT_EQ(ReadTextFile(package / "ns\\inst\\Program\\java\\bin\\ocfpcsc1.dll"), "bridge");
    EXPECT_EQ(ReadTextFile(package / "ns\\Users\\dave\\.opencard.properties"), CONFIGURATION);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(NetscapeComponents, LibraryPathThatWouldBeCutIsACopyError)
{
    // install + "\\Program\\java\\bin\\ocfpcsc1.dll" is 261 characters, while the
    // class tree of one short name still fits.
    RemoveTree(package / "ns\\jars");
    ASSERT_TRUE(MakeDirectories(package / "ns\\jars"));
    ASSERT_TRUE(WriteTextFile(package / "ns\\jars\\a.jar", "a"));
    install = netscape / std::string(231 - netscape.path().size() - 1, 'i');
    ASSERT_TRUE(MakeDirectories(JoinPath(install, "Program\\java\\classes")));
    ASSERT_TRUE(MakeDirectories(JoinPath(install, "Program\\java\\bin")));
    SetInstallDirectory(install);
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message,
                 "Błąd kopiowania pliku: kod #1, plik: `" NAME_BEGIN "ocfpcsc1.dll" NAME_END "'");
    EXPECT_EQ(ReadTextFile(Classes("a.jar")), "a");
    EXPECT_FALSE(FileExists(JoinPath(install, "Program\\java\\bin\\ocfpcsc1.dl")));
    EXPECT_FALSE(FileExists(Profile("alice")));
    ExpectAllPromptsAnswered(prompts);
}

} // namespace
