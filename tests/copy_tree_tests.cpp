// The recursive tree copy against real directory trees.
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

namespace {

// Relative file paths below `root`, in the order the platform lists them and
// depth-first, as the tree copy visits them.
void ListPreOrder(const std::string &root, const std::string &relative,
                  std::vector<std::string> *files)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(JoinPath(JoinPath(root, relative), "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string child = JoinPath(relative, name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListPreOrder(root, child, files);
        else
            files->push_back(child);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

class TreeCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeDirectories(dir / "pkg\\ocf\\a\\b"));
        ASSERT_TRUE(MakeDirectories(dir / "pkg\\ocf\\c"));
        ASSERT_TRUE(MakeDirectories(dir / "target"));
        for (const char *file : {"top.jar", "z.properties", "a\\a1.jar", "a\\a2.jar",
                                 "a\\b\\x.jar", "a\\b\\y.jar", "c\\c1.jar"})
            ASSERT_TRUE(WriteTextFile(dir / (std::string("pkg\\ocf\\") + file), file));
        memset(failed, 'X', sizeof failed);
        failed[sizeof failed - 1] = '\0';
    }

    std::string Target(const std::string &relative) { return dir / ("target\\" + relative); }

    ScratchDir dir;
    char failed[PATH_BUFFER_SIZE];
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
};

TEST_F(TreeCopy, CopiesNestedDirectoriesIntoTheTarget)
{
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("ocf\\*", target.c_str(), 1, failed), COPY_OK);
    EXPECT_STREQ(failed, "");
    std::vector<std::string> files;
    ListPreOrder(dir / "pkg\\ocf", "", &files);
    ASSERT_EQ(files.size(), 7u);
    for (const std::string &file : files)
        EXPECT_EQ(ReadTextFile(Target(file)), file) << file;
    EXPECT_FALSE(DirectoryExists(Target("ocf")));
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(TreeCopy, AbortTwoLevelsDownStopsEverythingAfterIt)
{
    ASSERT_TRUE(MakeDirectories(Target("a\\b")));
    ASSERT_TRUE(WriteTextFile(Target("a\\b\\x.jar"), "installed"));
    SetReadOnly(Target("a\\b\\x.jar"), true);
    prompts.Queue(IDABORT);
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("ocf\\*", target.c_str(), 1, failed), COPY_ABORTED);
    EXPECT_STREQ(failed, "ocf\\a\\b\\x.jar");
    EXPECT_EQ(ReadTextFile(Target("a\\b\\x.jar")), "installed");

    std::vector<std::string> files;
    ListPreOrder(dir / "pkg\\ocf", "", &files);
    bool after_abort = false;
    for (const std::string &file : files) {
        if (file == "a\\b\\x.jar") {
            after_abort = true;
            continue;
        }
        EXPECT_EQ(FileExists(Target(file)), !after_abort) << file;
    }
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(TreeCopy, FailureInASubdirectoryNamesItsRelativeSource)
{
    ASSERT_TRUE(MakeDirectories(Target("c")));
    ASSERT_TRUE(WriteTextFile(Target("c\\c1.jar"), "locked"));
    HANDLE locked = CreateFileA(Target("c\\c1.jar").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("ocf\\*", target.c_str(), 1, failed), COPY_FAILED);
    CloseHandle(locked);
    EXPECT_STREQ(failed, "ocf\\c\\c1.jar");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(TreeCopy, MissingSourceGivesSourceErrorAndAnEmptyFailedPath)
{
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("jars\\*", target.c_str(), 1, failed), TREE_SOURCE_ERROR);
    EXPECT_STREQ(failed, "");
    EXPECT_EQ(CopyTree("jars\\*", target.c_str(), 1, nullptr), TREE_SOURCE_ERROR);
}

TEST_F(TreeCopy, EmptySourceDirectoryCopiesNothing)
{
    ASSERT_TRUE(MakeDirectories(dir / "pkg\\empty"));
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("empty\\*", target.c_str(), 1, failed), COPY_OK);
    std::vector<std::string> files;
    ListPreOrder(target, "", &files);
    EXPECT_TRUE(files.empty());
}

TEST_F(TreeCopy, NonRecursiveCopySkipsSubdirectories)
{
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("ocf\\*", target.c_str(), 0, failed), COPY_OK);
    EXPECT_TRUE(FileExists(Target("top.jar")));
    EXPECT_TRUE(FileExists(Target("z.properties")));
    EXPECT_FALSE(DirectoryExists(Target("a")));
    EXPECT_FALSE(DirectoryExists(Target("c")));
}

TEST_F(TreeCopy, ExistingTargetSubdirectoryIsReusedAndKeepsOtherFiles)
{
    ASSERT_TRUE(MakeDirectories(Target("a")));
    ASSERT_TRUE(WriteTextFile(Target("a\\mine.txt"), "mine"));
    ASSERT_TRUE(WriteTextFile(Target("a\\a1.jar"), "old"));
    CurrentDirectory in_package(dir / "pkg");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("ocf\\*", target.c_str(), 1, failed), COPY_OK);
    EXPECT_EQ(ReadTextFile(Target("a\\mine.txt")), "mine");
    EXPECT_EQ(ReadTextFile(Target("a\\a1.jar")), "a\\a1.jar");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(TreeCopy, UncreatableSubdirectoryIsNamedWithoutADoubledBackslash)
{
    CurrentDirectory in_package(dir / "pkg");
    std::string missing = dir / "no-such-dir\\";
    EXPECT_EQ(CopyTree("ocf\\*", missing.c_str(), 1, failed), TREE_MKDIR_FAILED);
    EXPECT_TRUE(std::string(failed) == missing + "a" || std::string(failed) == missing + "c")
        << failed;
}

TEST_F(TreeCopy, WildcardTailFiltersFilesAndPatternWithoutDirectoryUsesTheCurrentOne)
{
    CurrentDirectory in_source(dir / "pkg\\ocf");
    std::string target = dir / "target";
    EXPECT_EQ(CopyTree("*.jar", target.c_str(), 1, failed), COPY_OK);
    EXPECT_TRUE(FileExists(Target("top.jar")));
    EXPECT_FALSE(FileExists(Target("z.properties")));
    EXPECT_FALSE(DirectoryExists(Target("a")));
}

TEST_F(TreeCopy, PathsThatWouldBeCutAreFailedCopiesNamedBySource)
{
    // Below a target of 254 characters "d" still fits, "d\\f.jar" and
    // "directory" do not: nothing may land under a cut name.
    const std::string target = dir / std::string(254 - dir.path().size() - 1, 't');
    ASSERT_TRUE(MakeDirectories(target));
    ASSERT_TRUE(MakeDirectories(dir / "pkg\\files\\d"));
    ASSERT_TRUE(WriteTextFile(dir / "pkg\\files\\d\\f.jar", "f"));
    ASSERT_TRUE(MakeDirectories(dir / "pkg\\dirs\\directory"));
    ASSERT_TRUE(WriteTextFile(dir / "pkg\\dirs\\directory\\x", "x"));
    CurrentDirectory in_package(dir / "pkg");

    EXPECT_EQ(CopyTree("files\\*", target.c_str(), 1, failed), COPY_FAILED);
    EXPECT_STREQ(failed, "files\\d\\f.jar");
    EXPECT_FALSE(FileExists(JoinPath(target, "d\\f.j")));
    EXPECT_EQ(CopyTree("dirs\\*", target.c_str(), 1, failed), COPY_FAILED);
    EXPECT_STREQ(failed, "dirs\\directory");
    EXPECT_FALSE(DirectoryExists(JoinPath(target, "direc")));
    ExpectAllPromptsAnswered(prompts);
}

} // namespace
