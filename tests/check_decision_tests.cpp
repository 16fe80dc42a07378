// /check's judgement of a place's files, built for Windows and natively.
#include "shell.h"

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

TEST(Check, APlaceIsWholeOnlyWithEveryFileAsThisVersionPlacesIt)
{
    unsigned char ours[SHA256_SIZE], theirs[SHA256_SIZE];
    memset(ours, 1, sizeof ours);
    memset(theirs, 2, sizeof theirs);
    // Each file by a letter: W whole, U unchecked (this version's digest unknown),
    // M missing, C changed, R unreadable, G gone as it must be, L left though unwanted.
    const struct {
        const char *files;
        int is_home;
        std::vector<int> findings;
        int place;
    } cases[] = {
        {"WWU", 1, {FINDING_WHOLE, FINDING_WHOLE, FINDING_UNCHECKED}, PLACE_WHOLE},
        {"MMM", 1, {FINDING_MISSING, FINDING_MISSING, FINDING_MISSING}, PLACE_NEW},
        {"MM", 0, {FINDING_MISSING, FINDING_MISSING}, PLACE_NOT_WHOLE},
        {"WMM", 1, {FINDING_WHOLE, FINDING_MISSING, FINDING_MISSING}, PLACE_NOT_WHOLE},
        {"WWC", 1, {FINDING_WHOLE, FINDING_WHOLE, FINDING_DIFFERENT}, PLACE_NOT_WHOLE},
        {"R", 0, {FINDING_DIFFERENT}, PLACE_NOT_WHOLE},
        {"WG", 0, {FINDING_WHOLE, FINDING_GONE}, PLACE_WHOLE},
        {"WL", 0, {FINDING_WHOLE, FINDING_LEFT_OVER}, PLACE_NOT_WHOLE},
    };
    for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
        const auto &c = cases[row];
        std::vector<CheckedFile> files(strlen(c.files));
        for (size_t i = 0; i < files.size(); ++i) {
            const char kind = c.files[i];
            files[i].state = kind == 'M' || kind == 'G' ? CHECKED_ABSENT
                             : kind == 'R'              ? CHECKED_UNREADABLE
                                                        : CHECKED_PRESENT;
            if (files[i].state == CHECKED_PRESENT)
                memcpy(files[i].digest, kind == 'W' ? ours : theirs, SHA256_SIZE);
            files[i].expected = kind == 'W' || kind == 'M' || kind == 'C' ? ours : nullptr;
            files[i].unwanted = kind == 'G' || kind == 'L';
        }
        std::vector<int> findings(files.size(), -1);
        EXPECT_EQ(JudgeCheckedPlace(files.data(), (int)files.size(), c.is_home, findings.data()),
                  c.place)
            << "row " << row;
        EXPECT_EQ(findings, c.findings) << "row " << row;
    }
}

} // namespace
