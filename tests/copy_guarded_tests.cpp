// The guarded copy against real files, with the conflict prompt answered
// through its real message box.
#include "fileops.h"
#include "test_files.h"
#include "windows_ui.h"

#include <gtest/gtest.h>

namespace {

class GuardedCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = dir / "source.jar";
        target = dir / "target.jar";
        ASSERT_TRUE(WriteTextFile(source, "new content"));
    }

    // A target that the platform refuses to overwrite (read-only), with the
    // source's size and last-write time when `same` is set.
    void MakeRefusedTarget(bool same)
    {
        ASSERT_TRUE(WriteTextFile(target, same ? "old content" : "older content"));
        SetWriteTime(source, 2020, 5, 6, 7, 8, 9);
        SetWriteTime(target, 2020, 5, 6, 7, 8, same ? 9 : 10);
        SetReadOnly(target, true);
    }

    ScratchDir dir;
    std::string source;
    std::string target;
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
};

// The package's private copy: a source of another size than listed leaves
// nothing; one of the listed size keeps its last-write time.
TEST_F(GuardedCopy, BoundedCopyTakesOnlyASourceOfTheListedSize)
{
    SetWriteTime(source, 2020, 5, 6, 7, 8, 9);
    for (unsigned long long size : {10ull, 12ull})
        EXPECT_EQ(CopyFileBounded(source.c_str(), target.c_str(), size), 0);
    EXPECT_EQ(CopyFileBounded((dir / "missing").c_str(), target.c_str(), 11), 0);
    EXPECT_FALSE(FileExists(target));
    EXPECT_EQ(CopyFileBounded(source.c_str(), target.c_str(), 11), 1);
    EXPECT_EQ(ReadTextFile(target), "new content");
    SetReadOnly(target, true);  // placed without a prompt for the same time only
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);
}

TEST_F(GuardedCopy, NewTargetGetsTheSourceAndIsNeverReadOnly)
{
    SetReadOnly(source, true);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_OK);
    EXPECT_EQ(ReadTextFile(target), "new content");
    EXPECT_FALSE(Attributes(target) & FILE_ATTRIBUTE_READONLY);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, ReadOnlyTargetPromptsAndRetryPlacesAWritableCopy)
{
    MakeRefusedTarget(false);
    prompts.Queue(IDRETRY);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);
    EXPECT_EQ(ReadTextFile(target), "new content");
    EXPECT_FALSE(Attributes(target) & FILE_ATTRIBUTE_READONLY);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, IgnoreKeepsTheOldContentAndCountsAsPlaced)
{
    MakeRefusedTarget(false);
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_OK);
    EXPECT_EQ(ReadTextFile(target), "older content");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, AbortLeavesTheTargetUntouched)
{
    MakeRefusedTarget(false);
    prompts.Queue(IDABORT);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_ABORTED);
    EXPECT_EQ(ReadTextFile(target), "older content");
    EXPECT_TRUE(Attributes(target) & FILE_ATTRIBUTE_READONLY);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, CompareModeAcceptsAnEqualReadOnlyTargetWithoutPrompt)
{
    MakeRefusedTarget(true);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);
    EXPECT_EQ(ReadTextFile(target), "old content");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, CompareModeAcceptsAnEqualTargetHeldOpenWithoutPrompt)
{
    ASSERT_TRUE(WriteTextFile(target, "old content"));
    SetWriteTime(source, 2020, 5, 6, 7, 8, 9);
    SetWriteTime(target, 2020, 5, 6, 7, 8, 9);
    // A library in use: open for reading, nobody else may write or delete it.
    HANDLE in_use = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in_use, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);
    CloseHandle(in_use);
    EXPECT_EQ(ReadTextFile(target), "old content");
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, DifferingTimeOrSizeOrCompareModeOffStillPrompts)
{
    MakeRefusedTarget(false);
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);

    SetReadOnly(target, false);
    ASSERT_TRUE(WriteTextFile(target, "longer old content"));
    SetWriteTime(source, 2020, 5, 6, 7, 8, 9);
    SetWriteTime(target, 2020, 5, 6, 7, 8, 9);
    SetReadOnly(target, true);
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 1), COPY_OK);

    SetReadOnly(target, false);
    MakeRefusedTarget(true);
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_OK);
    EXPECT_EQ(prompts.Count(), 3);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, UnreadableSideFailsWithoutPrompt)
{
    std::string no_directory = dir / "missing\\target.jar";
    EXPECT_EQ(CopyFileGuarded(source.c_str(), no_directory.c_str(), 0), COPY_FAILED);
    EXPECT_FALSE(FileExists(no_directory));

    std::string no_source = dir / "missing.jar";
    EXPECT_EQ(CopyFileGuarded(no_source.c_str(), target.c_str(), 1), COPY_FAILED);
    EXPECT_FALSE(FileExists(target));

    // A target locked against reading cannot be inspected.
    ASSERT_TRUE(WriteTextFile(target, "locked"));
    HANDLE locked = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_FAILED);
    CloseHandle(locked);
    EXPECT_EQ(ReadTextFile(target), "locked");
    ExpectAllPromptsAnswered(prompts);
}

// The tests run in a zone away from UTC (wine-run.sh), so local time would show.
TEST_F(GuardedCopy, PromptNamesBothFilesWithSizesAndUtcDatesAndAsksWithRetryAsDefault)
{
    ASSERT_TRUE(WriteTextFile(target, "0123456789abcdef"));
    SetWriteTime(source, 2023, 1, 2, 3, 4, 5);
    SetWriteTime(target, 2004, 11, 12, 13, 14, 15);
    SetReadOnly(target, true);
    CurrentDirectory in_dir(dir.path());
    prompts.Queue(IDIGNORE);
    EXPECT_EQ(CopyFileGuarded("source.jar", target.c_str(), 0), COPY_OK);
    ASSERT_EQ(prompts.Count(), 1);
    EXPECT_EQ(prompts.Texts()[0],
              "Wykryto problem przy próbie skopiowania pliku do katalogu docelowego.\n"
              "Podany plik już istnieje.\n\nInformacje o plikach:\n\n"
              "ŹRÓDŁOWY\nNazwa: source.jar\nRozmiar: 11\n"
              "Data modyfikacji: 2023-01-02, 03:04:05\n\n"
              "DOCELOWY\nNazwa: " + target + "\nRozmiar: 16\n"
              "Data modyfikacji: 2004-11-12, 13:14:15\n\n");
    ASSERT_EQ(prompts.Looks().size(), 1u);
    const MessageBoxLook look = prompts.Looks()[0];
    EXPECT_EQ(look.icon, LoadIconA(nullptr, IDI_QUESTION)) << "no question mark";
    EXPECT_EQ(look.default_button, IDRETRY);
    ExpectAllPromptsAnswered(prompts);
}

TEST_F(GuardedCopy, RetryLoopsWithANewPromptUntilTheUserGivesUp)
{
    ASSERT_TRUE(WriteTextFile(target, "in use"));
    // Held without delete or write sharing: every retry is refused again.
    HANDLE in_use = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in_use, INVALID_HANDLE_VALUE);
    prompts.Queue(IDRETRY, 3);
    prompts.Queue(IDABORT);
    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_ABORTED);
    CloseHandle(in_use);
    EXPECT_EQ(prompts.Count(), 4);
    EXPECT_EQ(ReadTextFile(target), "in use");
    ExpectAllPromptsAnswered(prompts);
}

} // namespace
