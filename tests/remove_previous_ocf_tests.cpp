// Removal of a leftover OCF library from the real system directory.
#include "components.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

class PreviousOcf : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = JoinPath(SystemDirectory(), "ocf1.2.jar");
        strcpy(message, "untouched");
    }
    void TearDown() override
    {
        SetReadOnly(library, false);
        DeleteFileA(library.c_str());
        RemoveTree(JoinPath(SystemDirectory(), "ocftest"));
    }

    std::string library;
    char message[592];
};

TEST_F(PreviousOcf, DeletesAWritableLeftover)
{
    ASSERT_TRUE(WriteTextFile(library, "old ocf"));
    EXPECT_EQ(RemovePreviousOcf(message, sizeof message), 1);
    EXPECT_FALSE(FileExists(library));
    EXPECT_STREQ(message, "untouched");
}

TEST_F(PreviousOcf, NothingToRemoveIsSuccess)
{
    EXPECT_EQ(RemovePreviousOcf(message, sizeof message), 1);
    EXPECT_STREQ(message, "untouched");
}

TEST_F(PreviousOcf, ReadOnlyLeftoverStaysAndIsReported)
{
    ASSERT_TRUE(WriteTextFile(library, "old ocf"));
    SetReadOnly(library, true);
    EXPECT_EQ(RemovePreviousOcf(message, sizeof message), 0);
    EXPECT_STREQ(message, "Błąd kasowania pliku ocf1.2.jar w katalogu systemowym");
    EXPECT_TRUE(FileExists(library));

    EXPECT_EQ(RemovePreviousOcf(nullptr, 592), 0);
    char small[10];
    EXPECT_EQ(RemovePreviousOcf(small, sizeof small), 0);
    EXPECT_STREQ(small, "Błąd kaso");
}

TEST_F(PreviousOcf, LeavesSubdirectoriesAlone)
{
    std::string nested = JoinPath(SystemDirectory(), "ocftest\\ocf1.2.jar");
    ASSERT_TRUE(MakeDirectories(JoinPath(SystemDirectory(), "ocftest")));
    ASSERT_TRUE(WriteTextFile(nested, "keep"));
    EXPECT_EQ(RemovePreviousOcf(nullptr, 0), 1);
    EXPECT_EQ(ReadTextFile(nested), "keep");
}

} // namespace
