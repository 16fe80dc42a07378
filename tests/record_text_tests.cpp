// The way back's record, as an elevated uninstall reads it, and what it does
// with each file.
#include "shell.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const std::string HASH_A(64, 'a');
const std::string HASH_B = std::string(63, '0') + "1";

TEST(Record, ReadsOnlyWellFormedRecords)
{
    const struct {
        std::string text;
        int count;  // -1: refused
    } cases[] = {
        {"", 0},
        {"N- " + HASH_A + " C:\\Windows\\system32\\ocfpcsc1.dll\r\nKS - " + HASH_B +
             " c:\\j\\ocf1.2.jar\r\n",
         2},
        {"N- " + HASH_A + " C:\\\r\n", -1},                 // a root
        {"N- " + HASH_A + " C:\\ab\n", -1},                 // LF alone
        {"N- " + HASH_A + " C:\\ab", 0},                    // torn: dropped
        {"NO ? C:\\a\r\nK- " + HASH_A + " " + HASH_B, 1},
        {"X- " + HASH_A + " C:\\ab\r\n", -1},
        {"NS " + HASH_A.substr(1) + "g C:\\ab\r\n", -1},    // not hex
        {"NS " + std::string(64, 'A') + " C:\\ab\r\n", -1}, // upper case
        {"K- - C:\\ab\r\n", -1},                            // no original
        {"K- - " + HASH_A + "C:\\ab\r\n", -1},
        {"N- - ab\\cd\r\n", -1},
        {"N- - \\\\server\\share\\x\r\n", -1},
        {"N- - C:\\j\\..\\x\r\n", -1},
        {"N- - C:\\j\\.\\x\r\n", -1},
        {"N- - C:\\j\\\\x\r\n", -1},
        {"N- - C:\\j\\x\\\r\n", -1},
        {"N- - C:\\j\\a?b\r\n", -1},
        {"N- - C:\\j\\a\tb\r\n", -1},
        {"N- - C:\\j\\..x\r\n", 1},
        {"N- - C:\\" + std::string(257, 'x') + "\r\n", 1},
        {"N- - C:\\" + std::string(258, 'x') + "\r\n", -1},
        {"N- ? C:\\j\\x\r\nKS - " + HASH_A + " c:\\J\\X\r\n", 1}, // a later line replaces
    };
    for (const auto &c : cases) {
        RunRecord record;
        int read = ReadRecord(c.text.data(), c.text.size(), &record);
        EXPECT_EQ(read ? record.count : -1, c.count) << c.text;
        FreeRecord(&record);
    }
    // No bound but memory: both sides of where the entries' room grows.
    for (int count : {16, 17, 2000}) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "N- - C:\\" + std::to_string(i) + "x\r\n";
        RunRecord record;
        ASSERT_TRUE(ReadRecord(text.data(), text.size(), &record));
        EXPECT_EQ(record.count, count);
        EXPECT_EQ(FindRecordEntry(&record, ("C:\\" + std::to_string(count - 1) + "x").c_str()),
                  count - 1);
        FreeRecord(&record);
    }
}

TEST(Record, WritesWhatItReads)
{
    const std::string text = "KS " + HASH_B + " " + HASH_A +
                             " C:\\Windows\\system32\\ocfpcsc1.dll\r\n"
                             "NO ? C:\\Java\\lib\\security\\java.policy.ocf-bak\r\n"
                             "K- - " + HASH_B + " C:\\Windows\\system32\\ocf1.2.jar\r\n";
    RunRecord record;
    ASSERT_TRUE(ReadRecord(text.data(), text.size(), &record));
    std::string written;
    char line[RECORD_LINE_SIZE];
    for (int i = 0; i < record.count; ++i) {
        ASSERT_GT(FormatRecordLine(&record.entry[i], line, sizeof line), 0u);
        written += line;
    }
    EXPECT_EQ(written, text);
    char name[KEPT_NAME_SIZE];
    KeptName(record.entry[0].original, name);
    EXPECT_EQ(name, HASH_A);
    RecordEntry longest = {RECORD_KEPT, 1, 1, {}, {}, {}};
    memset(longest.path, 'x', PATH_CHARS_MAX);
    EXPECT_EQ(FormatRecordLine(&longest, line, sizeof line), sizeof line - 1);
    EXPECT_EQ(FindRecordEntry(&record, "c:\\java\\LIB\\security\\java.policy.ocf-bak"), 1);
    FreeRecord(&record);
    EXPECT_TRUE(IsSharedLibrary("C:\\Windows\\System32\\OCFPCSC1_64.DLL"));
    EXPECT_FALSE(IsSharedLibrary("C:\\Java\\lib\\ext\\xocfpcsc1.dll"));
}

TEST(Record, EachFileIsPutBackOnlyAsTheRunsLeftIt)
{
    const unsigned char a[SHA256_SIZE] = {1}, b[SHA256_SIZE] = {2}, o[SHA256_SIZE] = {3};
    const struct {
        char kind, left;
        int now;
        const unsigned char *now_digest;
        int expected;
    } cases[] = {
        {RECORD_NEW, 1, NOW_PRESENT, a, RESTORE_DELETE},
        {RECORD_NEW, 1, NOW_PRESENT, b, RESTORE_LEAVE_CHANGED},
        {RECORD_NEW, 1, NOW_ABSENT, a, RESTORE_NOTHING},
        {RECORD_NEW, 0, NOW_PRESENT, a, RESTORE_LEAVE_CHANGED},
        {RECORD_KEPT, 1, NOW_PRESENT, a, RESTORE_PUT_BACK},
        {RECORD_KEPT, 1, NOW_PRESENT, b, RESTORE_LEAVE_CHANGED},
        {RECORD_KEPT, 1, NOW_ABSENT, a, RESTORE_LEAVE_CHANGED},
        {RECORD_KEPT, 1, NOW_PRESENT, o, RESTORE_NOTHING},  // put back by a try before
        {RECORD_KEPT, 0, NOW_ABSENT, a, RESTORE_PUT_BACK},  // the removed old library
        {RECORD_KEPT, 0, NOW_PRESENT, b, RESTORE_LEAVE_CHANGED},
        {RECORD_KEPT, 1, NOW_FOLDER_GONE, a, RESTORE_HOME_GONE},
        {RECORD_NEW, 1, NOW_FOLDER_GONE, a, RESTORE_HOME_GONE},
        // A run cut short while it changed the file.
        {RECORD_KEPT, LEFT_UNKNOWN, NOW_PRESENT, b, RESTORE_PUT_BACK},
        {RECORD_KEPT, LEFT_UNKNOWN, NOW_ABSENT, a, RESTORE_PUT_BACK},
        {RECORD_KEPT, LEFT_UNKNOWN, NOW_PRESENT, o, RESTORE_NOTHING},
        {RECORD_NEW, LEFT_UNKNOWN, NOW_PRESENT, b, RESTORE_DELETE},
        {RECORD_NEW, LEFT_UNKNOWN, NOW_ABSENT, a, RESTORE_NOTHING},
    };
    for (const auto &c : cases) {
        RecordEntry entry = {c.kind, 0, c.left, {1}, {}, "C:\\x"};
        EXPECT_EQ(DecideRestore(&entry, c.now, c.now_digest, c.kind == RECORD_KEPT ? o : nullptr),
                  c.expected)
            << c.kind << (int)c.left << c.now << (int)c.now_digest[0];
    }
}

// The queue as Windows keeps it, '|' for each string's end; what is told as
// staying in a value that cannot be edited, after a '-'.
std::string g_stays;

int ClaimOwn(const unsigned short *source, size_t length, int how, void *context)
{
    const RunRecord *record = (const RunRecord *)context;
    const std::string path(source, source + length);
    int ours = OwnPendingRename(path.c_str(), how & PENDING_DELETION,
                                "C:\\Program Files\\Instalator czytnika kart",
                                record) != PENDING_OTHERS;
    if (ours && (how & PENDING_STAYS))
        g_stays += path + "|";
    return ours;
}

TEST(Record, OnlyTheProgramsOwnQueuedOperationsAreCancelled)
{
    const std::string text = "K- - " + HASH_A + " C:\\j\\lib\\ext\\ocf1.2.jar\r\n"
                             "N- " + HASH_A + " C:\\j\\bin\\ocfpcsc1.dll\r\n";
    RunRecord record;
    ASSERT_TRUE(ReadRecord(text.data(), text.size(), &record));
    const std::string copy = "\\??\\C:\\Program Files\\Instalator czytnika kart\\instalator.exe||";
    const std::string other = "\\??\\C:\\t\\x.tmp|\\??\\C:\\x|";
    const struct {
        bool record;
        std::string value, left;  // "=": the value stays as it is
    } cases[] = {
        {true, "\\??\\C:\\j\\bin\\ocfpcsc1.dll.ocf-new|!\\??\\C:\\j\\bin\\ocfpcsc1.dll|"
               "\\??\\C:\\j\\lib\\ext\\ocf1.2.jar||" + copy + "|", "|"},
        {true, other + "\\??\\c:\\J\\BIN\\OCFPCSC1.DLL.OCF-NEW|\\??\\C:\\j\\bin\\x|" + other + "|",
         other + other + "|"},
        // The bridge the run left, and the jar renamed rather than deleted.
        {true, "\\??\\C:\\j\\bin\\ocfpcsc1.dll||\\??\\C:\\j\\lib\\ext\\ocf1.2.jar|\\??\\C:\\y|",
         "="},
        {true, "\\??\\C:\\Program Files\\Instalator czytnika kartX||", "="},
        {false, other + copy + "\\??\\C:\\Program Files\\Instalator czytnika kart||"
                "\\??\\C:\\j\\bin\\ocfpcsc1.dll.ocf-new|!\\??\\C:\\j\\bin\\ocfpcsc1.dll||",
         other + "\\??\\C:\\j\\bin\\ocfpcsc1.dll.ocf-new|!\\??\\C:\\j\\bin\\ocfpcsc1.dll||"},
        {true, copy, "|"},  // without the list's end
        {true, copy + other + "\\??\\C:\\z", "-" + copy.substr(4, copy.size() - 5)},
        {true, copy + other + "|x|", "-" + copy.substr(4, copy.size() - 5)},
        {true, "\\??\\C:\\j\\bin\\ocfpcsc1.dll.ocf-new|!\\??\\C:\\j\\bin\\ocfpcsc1.dll|\\??\\C:\\z",
         "-C:\\j\\bin\\ocfpcsc1.dll.ocf-new|"},
    };
    for (const auto &c : cases) {
        std::vector<unsigned short> value(c.value.begin(), c.value.end());
        for (unsigned short &unit : value)
            unit = unit == '|' ? 0 : unit;
        g_stays.clear();
        size_t kept = DropPendingRenames(value.data(), value.size(), ClaimOwn,
                                         c.record ? &record : nullptr);
        std::string left = kept == value.size() ? "=" : "";
        for (size_t i = 0; i < kept && kept < value.size(); ++i)
            left += value[i] != 0 ? (char)value[i] : '|';
        EXPECT_EQ(kept == 0 ? "-" + g_stays : left, c.left) << c.value;
    }
    EXPECT_EQ(OwnPendingRename("C:\\j\\bin\\ocfpcsc1.dll.ocf-new", 0, "C:\\P", &record),
              PENDING_WAITING);
    FreeRecord(&record);
}

// A small PE32+ as the linker lays it out (.text with one pointer to relocate,
// .idata with its import address table, .reloc) and its image as the loader
// maps it at a base: the fuzz target's seeds (fuzz/make_seeds.py), each a
// 64-bit base, a 32-bit file size, the file, then the image.
struct SmallProgram {
    std::string file, image;
};

SmallProgram ReadSeed(const char *name)
{
    std::string seed;
    FILE *input = fopen((std::string(IMAGE_SEEDS "/") + name).c_str(), "rb");
    for (int c; input != nullptr && (c = fgetc(input)) != EOF;)
        seed += (char)c;
    if (input != nullptr)
        fclose(input);
    size_t size = 0;
    for (int i = 11; seed.size() >= 12 && i >= 8; --i)
        size = size << 8 | (unsigned char)seed[i];
    if (seed.size() < 12 + size)
        return {};
    return {seed.substr(12, size), seed.substr(12 + size)};
}

// A certificate table entry of `size` bytes whose length field says `length`.
std::string Certificate(unsigned size, unsigned length)
{
    return std::string((const char *)&length, 4) + std::string(size - 4, '\0');
}

TEST(ProgramImage, AFileMatchesOnlyWhatTheLoaderMapsOfIt)
{
    const unsigned long long moved = 0x7FF612340000, preferred = 0x140000000;
    const std::string one = Certificate(16, 16);
    const struct {
        size_t changed;  // the file's byte changed, 0 for none
        long long cut;   // bytes cut off the file (< 0: added)
        unsigned long long base, mapped_base;
        bool matches;
        unsigned at, size;  // the security directory; with one the sections end at 0x7FC
        std::string table;  // after the sections
    } cases[] = {
        {0, 0, moved, moved, true},
        {0, 0, preferred, preferred, true},
        {0, 0, moved, preferred, false},  // not relocated
        {0x90, 0, moved, moved, false},   // a header's byte
        {0x71, 0, moved, moved, false},   // the preferred base
        {0x211, 0, moved, moved, false},  // the relocated pointer
        {0x2F0, 0, moved, moved, false},
        {0x350, 0, moved, moved, false},  // padding
        {0x408, 0, moved, moved, true},   // in the address table
        {0x410, 0, moved, moved, false},  // beside it
        {0x608, 0, moved, moved, false},  // a relocation
        {0, 1, moved, moved, false},
        {0, 0x700, moved, moved, false},
        {0, -1, moved, moved, false},
        {0, 0, moved, moved, true, 0x800, 16, one},
        {0, 0, moved, moved, true, 0x800, 40, one + Certificate(24, 20)},
        {0, 4, moved, moved, false, 0x7FC, 16, one},  // not 8-aligned
        {0, 0, moved, moved, false, 0x800, 24, one},
        {0, 0, moved, moved, false, 0x800, 8, Certificate(8, 4)},
        {0, 0, moved, moved, false, 0x800, 16, Certificate(16, 24)},
        {0, 0, moved, moved, false, 0x800, 16, one + '\0'},
        {0x7FD, 0, moved, moved, false, 0x800, 16, one},  // padding before it
        {0, 0, moved, moved, false, 0x700, 0x110, one},   // in a section
    };
    ASSERT_EQ(ReadSeed("relocated").file.size(), 0x800u);
    for (const auto &c : cases) {
        std::string file = ReadSeed("relocated").file;
        std::string image = ReadSeed(c.mapped_base == moved ? "relocated" : "preferred").image;
        for (std::string *bytes : {&file, &image}) {
            const unsigned fields[] = {c.at, c.size, c.size ? 0x1FCu : 0x200u};
            memcpy(&(*bytes)[0xE8], fields, 8);
            memcpy(&(*bytes)[0x1A8], &fields[2], 4);
        }
        if (c.changed != 0)
            file[c.changed] ^= 1;
        file.resize(file.size() - c.cut);
        file += c.table;
        EXPECT_EQ(ImageMatchesFile((const unsigned char *)file.data(), file.size(),
                                   (const unsigned char *)image.data(), image.size(), c.base),
                  c.matches)
            << c.changed << " " << c.cut << " " << c.at << " " << c.size;
    }
}

} // namespace
