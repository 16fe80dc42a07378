// The GEMPLUS search over the PC/SC reader multi-string; built for Windows and
// natively with sanitizers, each list in a buffer of exactly its own length.
#include "components.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ListCase {
    std::string list;  // the whole multi-string, separators and the closing NUL included
    int expected;
};

int Search(const std::string &list)
{
    std::vector<char> buffer(list.begin(), list.end());
    return ReaderListHasGemplus(buffer.empty() ? nullptr : buffer.data(),
                                (unsigned long)buffer.size());
}

TEST(ReaderListHasGemplus, FindsThePatternInsideAnyNameInAnyCase)
{
    using namespace std::string_literals;
    const ListCase cases[] = {
        {"Gemplus GemPC Twin 00 00\0\0"s, 1},
        {"GEMPLUS\0\0"s, 1},
        {"gEmPlUs USB\0\0"s, 1},
        {"ACS ACR38U 0\0Gemalto GemPlus USB 1\0\0"s, 1},
        {"GEMGEMPLUS\0\0"s, 1},          // restart one after the failed attempt
        {"GGEMPLUS\0\0"s, 1},
        {"GEMPLGEMPLUS\0\0"s, 1},
        {"xGEMPLUS"s, 1},                 // pattern at the very end of the length
        {"GEMPLU\0S reader\0\0"s, 0},     // never across two names
        {"GEMPLU\0\0"s, 0},
        {"GEMPLU"s, 0},                   // length ends inside the pattern
        {"Gemalto USB SmartCard Reader 0\0\0"s, 0},
        {"GEMPLU5\0\0"s, 0},
        {"G\xC5MPLUS\0\0"s, 0},           // no folding beyond bit 0x20
        {"GEMP\x0CUS\0\0"s, 0},           // 'L' without bit 0x40 is no letter
        {"\0"s, 0},
        {""s, 0},
    };
    for (const ListCase &c : cases)
        EXPECT_EQ(Search(c.list), c.expected) << "list of " << c.list.size() << " chars";
}

TEST(ReaderListHasGemplus, SearchesOnlyTheReportedLength)
{
    const char list[] = "Reader A\0Gemplus B\0";
    EXPECT_EQ(ReaderListHasGemplus(list, 10), 0);
    EXPECT_EQ(ReaderListHasGemplus(list, 15), 0);
    EXPECT_EQ(ReaderListHasGemplus(list, 16), 1);
    EXPECT_EQ(ReaderListHasGemplus(nullptr, 0), 0);
}

} // namespace
