// The Internet Explorer component against the real Windows and system
// directories of the test prefix, with a package of its own in a scratch
// directory and the conflict prompt answered through its real message box.
#include "components.h"
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

class IeComponents : public ::testing::Test {
protected:
    void SetUp() override
    {
        java = JoinPath(WindowsDirectory(), "java");
        lib = JoinPath(java, "lib");
        library = JoinPath(SystemDirectory(), "ocfpcsc1.dll");
        // The tests own these places outright and remove them afterwards.
        ASSERT_FALSE(DirectoryExists(java)) << java << " exists before the test";
        ASSERT_FALSE(FileExists(library)) << library << " exists before the test";
        ASSERT_TRUE(MakeDirectories(package / "msie\\ocf\\sub"));
        ASSERT_TRUE(WriteTextFile(package / "msie\\ocf\\base.jar", "base v2"));
        ASSERT_TRUE(WriteTextFile(package / "msie\\ocf\\sub\\pcsc.jar", "pcsc v2"));
        ASSERT_TRUE(WriteTextFile(package / "msie\\ocfpcsc1.dll", "bridge v2"));
        strcpy(message, "untouched");
    }
    void TearDown() override
    {
        RemoveTree(java);
        SetReadOnly(library, false);
        DeleteFileA(library.c_str());
    }

    int Install() { return InstallIeComponents(message, sizeof message); }

    // An installed library that the platform refuses to overwrite; equal to the
    // package's in size and time when `same` is set.
    void MakeLockedLibrary(bool same)
    {
        ASSERT_TRUE(WriteTextFile(library, same ? "bridge v2" : "bridge v1"));
        SetWriteTime(package / "msie\\ocfpcsc1.dll", 2021, 4, 5, 6, 7, 8);
        SetWriteTime(library, 2021, 4, 5, 6, 7, same ? 8 : 9);
        SetReadOnly(library, true);
    }

    ScratchDir package;
    CurrentDirectory in_package{package.path()};
    std::string java;
    std::string lib;
    std::string library;
    char message[592];
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
};

TEST_F(IeComponents, PlacesTheTreeInJavaLibAndTheLibraryInTheSystemDirectory)
{
    ASSERT_TRUE(MakeDirectories(java));
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_STREQ(message, "untouched");
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "base.jar")), "base v2");
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "sub\\pcsc.jar")), "pcsc v2");
    EXPECT_FALSE(DirectoryExists(JoinPath(lib, "ocf")));
    EXPECT_EQ(ReadTextFile(library), "bridge v2");
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, WithoutMsieNothingIsCreated)
{
    RemoveTree(package / "msie");
    ASSERT_TRUE(MakeDirectories(java));
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, "Instalator jest niekompletny");
    EXPECT_EQ(InstallIeComponents(nullptr, 592), RESULT_ERROR);
    EXPECT_FALSE(DirectoryExists(lib));
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, MissingOcfTreeIsACopyErrorWithAnEmptyName)
{
    RemoveTree(package / "msie\\ocf");
    ASSERT_TRUE(MakeDirectories(java));
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message, "Błąd kopiowania pliku: kod #2, plik: `" NAME_BEGIN NAME_END "'");
    EXPECT_EQ(InstallIeComponents(nullptr, 0), RESULT_ERROR);
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
}

TEST_F(IeComponents, WithoutJavaNothingIsCreatedAndTheCopyFails)
{
    EXPECT_EQ(Install(), RESULT_ERROR);
    // Which entry fails first depends on the listing order: a file gives
    // code 1, the subdirectory code 3.
    EXPECT_EQ(std::string(message).rfind("Błąd kopiowania pliku: kod #", 0), 0u) << message;
    EXPECT_FALSE(DirectoryExists(java));
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, ExistingJavaLibKeepsItsOtherFiles)
{
    ASSERT_TRUE(MakeDirectories(JoinPath(lib, "sub")));
    ASSERT_TRUE(WriteTextFile(JoinPath(lib, "other.zip"), "classes of another vendor"));
    ASSERT_TRUE(WriteTextFile(JoinPath(lib, "base.jar"), "base v1"));
    ASSERT_TRUE(WriteTextFile(JoinPath(lib, "sub\\pcsc.jar"), "pcsc v1"));
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "other.zip")), "classes of another vendor");
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "base.jar")), "base v2");
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "sub\\pcsc.jar")), "pcsc v2");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, LockedLibraryEqualToThePackagesNeedsNoPrompt)
{
    ASSERT_TRUE(MakeDirectories(java));
    MakeLockedLibrary(true);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_STREQ(message, "untouched");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, LockedDifferentLibraryPromptsAndIgnoreKeepsIt)
{
    ASSERT_TRUE(MakeDirectories(java));
    MakeLockedLibrary(false);
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(Install(), RESULT_OK);
    EXPECT_EQ(ReadTextFile(library), "bridge v1");
    ExpectAllPromptsAnswered(prompts);
    ASSERT_EQ(prompts.Count(), 1);
    EXPECT_NE(prompts.Texts()[0].find("Nazwa: ocfpcsc1.dll\n"), std::string::npos);
}

TEST_F(IeComponents, FailedLibraryCopyKeepsTheTree)
{
    ASSERT_TRUE(MakeDirectories(java));
    DeleteFileA((package / "msie\\ocfpcsc1.dll").c_str());
    EXPECT_EQ(Install(), RESULT_ERROR);
    EXPECT_STREQ(message,
                 "Błąd kopiowania pliku: kod #1, plik: `" NAME_BEGIN "ocfpcsc1.dll" NAME_END "'");
    EXPECT_EQ(InstallIeComponents(nullptr, 592), RESULT_ERROR);
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "sub\\pcsc.jar")), "pcsc v2");
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, AbortInTheTreeEndsTheComponent)
{
    ASSERT_TRUE(MakeDirectories(JoinPath(lib, "sub")));
    ASSERT_TRUE(WriteTextFile(JoinPath(lib, "sub\\pcsc.jar"), "pcsc v1"));
    SetReadOnly(JoinPath(lib, "sub\\pcsc.jar"), true);
    prompts.Queue(IDABORT);
    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, "Przerwa na życzenie użytkownika");
    EXPECT_EQ(ReadTextFile(JoinPath(lib, "sub\\pcsc.jar")), "pcsc v1");
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(CurrentDirectory::Get(), package.path());

    prompts.Queue(IDABORT);
    EXPECT_EQ(InstallIeComponents(nullptr, 592), RESULT_ABORTED);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(IeComponents, AbortAtTheLibraryPromptTriesNoOtherLibrary)
{
    ASSERT_TRUE(MakeDirectories(java));
    ASSERT_TRUE(WriteTextFile(package / "msie\\ocfpcsc164.dll", "bridge v2"));
    MakeLockedLibrary(false);
    prompts.Queue(IDABORT);
    EXPECT_EQ(Install(), RESULT_ABORTED);
    EXPECT_STREQ(message, "Przerwa na życzenie użytkownika");
    EXPECT_EQ(ReadTextFile(library), "bridge v1");
    EXPECT_EQ(CurrentDirectory::Get(), package.path());
    ExpectAllPromptsAnswered(prompts);
    EXPECT_EQ(prompts.Count(), 1);
}

} // namespace
