// The Java home buffer arithmetic; built for Windows and natively with
// sanitizers, in buffers of exactly the component's size.
#include "components.h"
#include "fileops.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

struct HomeCase {
    std::string value;  // as stored, terminators included
    unsigned long type;
    int expected_end;   // -1: skipped
    const char *expected_home;
};

TEST(QuotedJavaHomeEnd, CutsBackRightAfterTheHomesText)
{
    using namespace std::string_literals;
    const HomeCase cases[] = {
        {"C:\\Java\\jre\0"s, 1, 12, "\"C:\\Java\\jre"},
        {"C:\\Java\\jre\\\0"s, 1, 13, "\"C:\\Java\\jre\\"},
        {"C:\\Java\\jre\0\0\0"s, 1, 12, "\"C:\\Java\\jre"},
        {"%JAVA%\0"s, 2, 7, "\"%JAVA%"},
        {"C:\\Java"s, 1, -1, nullptr},           // no terminator
        {""s, 1, -1, nullptr},                   // size 0
        {"\0"s, 1, -1, nullptr},                 // empty home
        {"\x01\x02\x03\x04"s, 4, -1, nullptr},   // REG_DWORD
        {"C:\\Java\0\0"s, 7, -1, nullptr},       // REG_MULTI_SZ
        {std::string(261, 'C') + '\0', 1, -1, nullptr},  // fills the 262 bytes
        {std::string(260, 'C') + '\0', 1, 261, nullptr},
    };
    for (const HomeCase &c : cases) {
        char home[JAVA_HOME_BUFFER_SIZE];
        memset(home, 'X', sizeof home);
        home[0] = '"';
        memcpy(home + 1, c.value.data(), c.value.size());
        int end = QuotedJavaHomeEnd(home, (unsigned long)c.value.size(), c.type);
        EXPECT_EQ(end, c.expected_end) << c.value;
        if (end > 0) {
            EXPECT_EQ(home[end], '\0');
            if (c.expected_home != nullptr)
                EXPECT_STREQ(home, c.expected_home);
        }
    }
}

TEST(AppendWholePathComponent, TellsACutElement)
{
    char path[JAVA_HOME_BUFFER_SIZE] = "\"C:\\Java";
    EXPECT_EQ(AppendWholePathComponent(path, "lib\\ext\\ocf1.2.jar"), 1);
    EXPECT_STREQ(path, "\"C:\\Java\\lib\\ext\\ocf1.2.jar");

    strcpy(path, "C:\\Java\\");
    EXPECT_EQ(AppendWholePathComponent(path, "bin\\java.exe\" CopyPolicyFile .java.policy"), 1);
    EXPECT_STREQ(path, "C:\\Java\\bin\\java.exe\" CopyPolicyFile .java.policy");

    // 240 + 1 + 19 = 260 characters fit; one more does not.
    std::string long_home(240, 'h');
    strcpy(path, long_home.c_str());
    EXPECT_EQ(AppendWholePathComponent(path, "lib\\ext\\ocf1.2.jar1"), 1);
    EXPECT_EQ(strlen(path), 260u);
    strcpy(path, long_home.c_str());
    EXPECT_EQ(AppendWholePathComponent(path, "lib\\ext\\ocf1.2.jar12"), 0);
    EXPECT_EQ(strlen(path), 260u);

    std::string full(260, 'h');
    strcpy(path, full.c_str());
    EXPECT_EQ(AppendWholePathComponent(path, "x"), 0);
    EXPECT_EQ(std::string(path), full);
}

} // namespace
