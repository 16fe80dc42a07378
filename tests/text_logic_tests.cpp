// The pure text logic of file placement; built for Windows and natively with
// sanitizers, so an overrun shows on the host as well.
#include "components.h"
#include "fileops.h"
#include "wayback.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

std::string Joined(const std::string &path, const std::string &element)
{
    char buffer[PATH_BUFFER_SIZE];
    memset(buffer, 'X', sizeof buffer);
    memcpy(buffer, path.c_str(), path.size() + 1);
    AppendPathComponent(buffer, element.c_str());
    return buffer;
}

struct JoinCase {
    const char *path;
    const char *element;
    const char *expected;
};

TEST(AppendPathComponent, JoinsWithExactlyOneBackslash)
{
    const JoinCase cases[] = {
        {"C:\\WINDOWS", "java\\lib", "C:\\WINDOWS\\java\\lib"},
        {"C:\\", "ocf1.2.jar", "C:\\ocf1.2.jar"},
        {"sun\\", "x.jar", "sun\\x.jar"},
        {"", "Users\\*", "Users\\*"},
        {"C:\\a", "\\b", "C:\\a\\\\b"},
        {"\"C:\\Java", "bin\\java.exe\" CopyPolicyFile .java.policy",
         "\"C:\\Java\\bin\\java.exe\" CopyPolicyFile .java.policy"},
    };
    for (const JoinCase &c : cases)
        EXPECT_EQ(Joined(c.path, c.element), c.expected) << c.path << " + " << c.element;
}

TEST(AppendPathComponent, NeverGrowsPast260Characters)
{
    const std::string p259(259, 'a');
    EXPECT_EQ(Joined(p259, "file"), p259 + "\\");

    const std::string p260(260, 'a');
    EXPECT_EQ(Joined(p260, "file"), p260);

    const std::string p258(258, 'a');
    EXPECT_EQ(Joined(p258, "file"), p258 + "\\f");

    const std::string with_backslash = std::string(259, 'a') + "\\";
    EXPECT_EQ(Joined(with_backslash, "file"), with_backslash);

    std::string long_element(400, 'e');
    std::string joined = Joined("C:\\dir", long_element);
    EXPECT_EQ(joined.size(), 260u);
    EXPECT_EQ(joined.substr(0, 7), "C:\\dir\\");
}

TEST(BoundedText, CopyAppendAndFormatStayInsideTheBuffer)
{
    char buffer[8];
    memset(buffer, 'X', sizeof buffer);
    CopyTextBounded(buffer, 5, "abcdefgh");
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'X');

    AppendTextBounded(buffer, 6, "xyz");
    EXPECT_STREQ(buffer, "abcdx");
    EXPECT_EQ(buffer[6], 'X');

    FormatTextBounded(buffer, 7, "kod #%d, %s", 12, "plik");
    EXPECT_STREQ(buffer, "kod #1");
    EXPECT_EQ(buffer[7], 'X');

    CopyTextBounded(nullptr, 10, "ignored");
    CopyTextBounded(buffer, 0, "ignored");
    EXPECT_STREQ(buffer, "kod #1");
}

struct CopyErrorCase {
    int code;
    const char *path;
    size_t size;
    const char *expected;
};

TEST(CopyErrorMessage, NamesTheCodeAndThePathWithinTheBuffer)
{
    const CopyErrorCase cases[] = {
        {2, "", 592, "Błąd kopiowania pliku: kod #2, plik: `" NAME_BEGIN NAME_END "'"},
        {1, "ocfpcsc1.dll", 592,
         "Błąd kopiowania pliku: kod #1, plik: `" NAME_BEGIN "ocfpcsc1.dll" NAME_END "'"},
        {3, "C:\\WINDOWS\\java\\lib\\a", 592,
         "Błąd kopiowania pliku: kod #3, plik: `" NAME_BEGIN "C:\\WINDOWS\\java\\lib\\a" NAME_END "'"},
        {1, "ocfpcsc1.dll", 12, "Błąd kopiow"},
        {4, "x", 1, ""},
    };
    for (const CopyErrorCase &c : cases) {
        char buffer[600];
        memset(buffer, 'X', sizeof buffer);
        FormatCopyError(buffer, (unsigned int)c.size, c.code, c.path);
        EXPECT_STREQ(buffer, c.expected) << c.code << " " << c.path;
        EXPECT_EQ(buffer[c.size], 'X');
    }

    std::string long_path(260, 'p');
    char buffer[592];
    FormatCopyError(buffer, sizeof buffer, 1, long_path.c_str());
    EXPECT_EQ(std::string(buffer), "Błąd kopiowania pliku: kod #1, plik: `" NAME_BEGIN + long_path +
                                       NAME_END "'");
    FormatCopyError(nullptr, 592, 1, "ignored");
}

PromptFileFacts Facts(const char *name, unsigned long size, int year, int month, int day,
                      int hour, int minute, int second)
{
    PromptFileFacts facts = {name, size, year, month, day, hour, minute, second};
    return facts;
}

TEST(ConflictPrompt, ShowsBothFilesWithSignedLowSizesAndUtcDates)
{
    PromptFileFacts source = Facts("ocf1.2.jar", 1234, 2024, 3, 7, 9, 5, 2);
    PromptFileFacts target = Facts("C:\\Java\\lib\\ext\\ocf1.2.jar", 0x80000000ul, 1999, 12, 31,
                                   23, 59, 59);
    char text[PROMPT_TEXT_SIZE];
    FormatConflictPrompt(text, sizeof text, &source, &target);
    EXPECT_STREQ(text,
                 "Wykryto problem przy próbie skopiowania pliku do katalogu docelowego.\n"
                 "Podany plik już istnieje.\n\nInformacje o plikach:\n\n"
                 "ŹRÓDŁOWY\nNazwa: " NAME_BEGIN "ocf1.2.jar" NAME_END "\nRozmiar: 1234\n"
                 "Data modyfikacji: 2024-03-07, 09:05:02\n\n"
                 "DOCELOWY\nNazwa: " NAME_BEGIN "C:\\Java\\lib\\ext\\ocf1.2.jar" NAME_END
                 "\nRozmiar: -2147483648\n"
                 "Data modyfikacji: 1999-12-31, 23:59:59\n\n");
}

TEST(ConflictPrompt, LongNamesKeepTheirEndsAndEveryNumberShows)
{
    std::string source_name = "src\\" + std::string(300, 's') + "\\source.jar";
    std::string target_name = "C:\\" + std::string(300, 't') + "\\target.jar";
    PromptFileFacts source = Facts(source_name.c_str(), 42, 2001, 2, 3, 4, 5, 6);
    PromptFileFacts target = Facts(target_name.c_str(), 43, 2011, 12, 13, 14, 15, 16);
    char text[PROMPT_TEXT_SIZE + 1];
    text[PROMPT_TEXT_SIZE] = 'X';
    FormatConflictPrompt(text, PROMPT_TEXT_SIZE, &source, &target);
    std::string shown = text;
    EXPECT_EQ(text[PROMPT_TEXT_SIZE], 'X');
    EXPECT_LT(shown.size(), (size_t)PROMPT_TEXT_SIZE);
    EXPECT_NE(shown.find("\\source.jar" NAME_END "\nRozmiar: 42\nData modyfikacji: 2001-02-03, 04:05:06"),
              std::string::npos);
    EXPECT_NE(shown.find("\\target.jar" NAME_END "\nRozmiar: 43\nData modyfikacji: 2011-12-13, 14:15:16\n\n"),
              std::string::npos);
    EXPECT_NE(shown.find("Nazwa: " NAME_BEGIN "..."), std::string::npos);

    // A short source leaves its unused share to the long target.
    PromptFileFacts short_source = Facts("a.jar", 1, 2001, 1, 1, 0, 0, 0);
    FormatConflictPrompt(text, PROMPT_TEXT_SIZE, &short_source, &target);
    shown = text;
    EXPECT_NE(shown.find("Nazwa: " NAME_BEGIN "a.jar" NAME_END "\n"), std::string::npos);
    EXPECT_EQ(shown.size(), (size_t)PROMPT_TEXT_SIZE - 1);
}

struct RegistryCase {
    const char *value;
    unsigned long stored_size;
    unsigned long capacity;
    unsigned long type;
    int expected;
};

TEST(RegistryStringLength, AcceptsOnlyTerminatedStringsThatLeaveRoom)
{
    const RegistryCase cases[] = {
        {"C:\\Java\\jre", 12, 262, 1, 11},
        {"C:\\Java\\jre\\", 13, 262, 2, 12},
        {"C:\\J\0\0\0", 7, 262, 1, 4},     // extra terminators stored
        {"C:\\Java", 7, 262, 1, -1},         // no terminator within the size
        {"", 0, 262, 1, -1},                 // size 0
        {"C:\\Java", 8, 262, 4, -1},         // REG_DWORD
        {"C:\\Java", 8, 262, 7, -1},         // REG_MULTI_SZ
        {"C:\\Java", 262, 262, 1, -1},       // fills the buffer
        {"C:\\Java", 261, 262, 1, 7},
    };
    for (const RegistryCase &c : cases) {
        char buffer[300] = {};
        memcpy(buffer, c.value, strlen(c.value) + 1);
        EXPECT_EQ(RegistryStringLength(buffer, c.stored_size, c.capacity, c.type), c.expected)
            << c.value << " size " << c.stored_size << " type " << c.type;
    }
}

TEST(ParentDirectoryLength, KeepsTheLastBackslash)
{
    EXPECT_EQ(ParentDirectoryLength("C:\\Netscape\\Communicator", 24), 12u);
    EXPECT_EQ(ParentDirectoryLength("C:\\Netscape\\", 12), 12u);
    EXPECT_EQ(ParentDirectoryLength("Netscape", 8), 0u);
    EXPECT_EQ(ParentDirectoryLength("", 0), 0u);
}

// A release's package list: sha256sum's lines with each file's size, and
// nothing that could name a file outside the package.
TEST(PackageListLine, ReadsSha256sumLinesWithRelativePathsOnly)
{
    const std::string hex = "00ff" + std::string(56, 'a') + "0A1b";
    const std::string lead = hex + " 9999999999999999999";
    const struct {
        std::string line;
        const char *path;  // null: refused
        unsigned long long size = 9999999999999999999ull;
    } cases[] = {
        {lead + "  Drivers/twin8_64.bat\n", "Drivers\\twin8_64.bat"},
        {lead + "  sun/.java.policy\nnext", "sun\\.java.policy"},
        {lead + "  Drivers/twin8_64.bat", nullptr},  // no line end
        {lead + " *sun/java.policy\n", nullptr},     // binary-mode mark
        {hex.substr(1) + "g 1  sun/a\n", nullptr},
        {hex + "  sun/a\n", nullptr},                // no size
        {hex + " 0  sun/a\n", "sun\\a", 0},
        {hex + " 12345678901  sun/a\n", "sun\\a", 12345678901ull},
        {hex + " 1 sun/a\n", nullptr},
        {hex + " 12345678901234567890  sun/a\n", nullptr},
        {lead + "  /sun/a\n", nullptr},
        {lead + "  sun//a\n", nullptr},
        {lead + "  sun/../../a\n", nullptr},
        {lead + "  C:/a\n", nullptr},
        {lead + "  sun\\a\n", nullptr},
        {lead + "  sun/\xB1\n", nullptr},
        {lead + "  \n", nullptr},
        {lead + "  " + std::string(261, 'a') + "\n", nullptr},
        {lead + "  " + std::string(260, 'a') + "\n", "260"},
    };
    for (const auto &c : cases) {
        unsigned char digest[SHA256_SIZE] = {};
        unsigned long long size = 0;
        char path[PATH_BUFFER_SIZE] = "untouched";
        size_t offset = 0;
        int read = ReadPackageListLine(c.line.data(), c.line.size(), &offset, digest, &size,
                                       path);
        EXPECT_EQ(read, c.path != nullptr) << c.line;
        if (!read || c.path == nullptr)
            continue;
        EXPECT_EQ(offset, c.line.find('\n') + 1);
        EXPECT_EQ(digest[0], 0x00);
        EXPECT_EQ(digest[1], 0xff);
        EXPECT_EQ(digest[31], 0x1b);
        EXPECT_EQ(size, c.size) << c.line;
        EXPECT_EQ(std::string(path), strcmp(c.path, "260") == 0 ? std::string(260, 'a') : c.path);
    }
}

// The target name as the conflict prompt shows it when it has `budget` bytes.
std::string ShownTargetName(const char *name, size_t budget)
{
    PromptFileFacts source = Facts("", 0, 2001, 1, 1, 0, 0, 0), target = source;
    char text[PROMPT_TEXT_SIZE];
    FormatConflictPrompt(text, sizeof text, &source, &target);
    target.name = name;
    FormatConflictPrompt(text, strlen(text) + 1 + budget, &source, &target);
    std::string shown = strrchr(text, NAME_BEGIN[0]) + 1;
    return shown.substr(0, shown.find(NAME_END));
}

// Code page 932, where a second byte can be 0x5C, the backslash, or a lead
// byte: C:\Java\機能, C:\ソフト and C:\封封表, each joined with "lib", its
// parent's length, and its end in a conflict prompt of `budget` bytes for it.
struct DoubleByteCase {
    const char *path, *joined;
    unsigned long parent;
    size_t budget;
    const char *shown;
};

TEST(DoubleByteCodePage, SecondBytesNeitherSeparateNorStartANameEnd)
{
    const DoubleByteCase cases[] = {
        {"C:\\Java\\\x8b\x40\x94\x5c", "C:\\Java\\\x8b\x40\x94\x5c\\lib", 8, 6, "...\x94\x5c"},
        {"C:\\\x83\x5c\x83\x74\x83\x67", "C:\\\x83\x5c\x83\x74\x83\x67\\lib", 3, 3, "\x83\x67"},
        {"C:\\\x95\x95\x95\x95\x95\x5c", "C:\\\x95\x95\x95\x95\x95\x5c\\lib", 3, 6, "...\x95\x5c"},
    };
    const unsigned char lead_bytes_932[] = {0x81, 0x9F, 0xE0, 0xFC, 0};
    SetLeadByteRanges(lead_bytes_932);
    for (const DoubleByteCase &c : cases) {
        char path[PATH_BUFFER_SIZE];
        CopyTextBounded(path, sizeof path, c.path);
        EXPECT_TRUE(AppendWholePathComponent(path, "lib")) << c.path;
        EXPECT_STREQ(path, c.joined);
        EXPECT_TRUE(IsRecordPath(path, strlen(path))) << c.path;
        EXPECT_EQ(ParentDirectoryLength(c.path, strlen(c.path)), c.parent) << c.path;
        EXPECT_EQ(ShownTargetName(c.path, c.budget), c.shown) << c.path;
    }
    // ソフト's 't' is a second byte, no letter to fold: ソサト is another name.
    RunRecord record = {};
    CopyTextBounded(GrowRecord(&record)->path, PATH_BUFFER_SIZE, cases[1].joined);
    EXPECT_EQ(FindRecordEntry(&record, "C:\\\x83\x5c\x83\x54\x83\x67\\lib"), -1);
    FreeRecord(&record);
    SetLeadByteRanges(nullptr);
}

} // namespace
