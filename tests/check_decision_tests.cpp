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
    // A file: its state, the digest found (ours, theirs), whether this version's is
    // known, and whether it must be gone.
    struct File {
        int state;
        const unsigned char *found;
        bool known, unwanted;
    };
    const File WHOLE = {CHECKED_PRESENT, ours, true, false};
    const File UNCHECKED = {CHECKED_PRESENT, theirs, false, false};
    const File MISSING = {CHECKED_ABSENT, nullptr, true, false};
    const File CHANGED = {CHECKED_PRESENT, theirs, true, false};
    const File UNREADABLE = {CHECKED_UNREADABLE, nullptr, false, false};
    const File GONE = {CHECKED_ABSENT, nullptr, false, true};
    const File LEFT = {CHECKED_PRESENT, theirs, false, true};
    const struct {
        std::vector<File> files;
        int is_home;
        std::vector<int> findings;
        int place;
    } cases[] = {
        {{WHOLE, WHOLE, UNCHECKED}, 1, {FINDING_WHOLE, FINDING_WHOLE, FINDING_UNCHECKED},
         PLACE_WHOLE},
        {{MISSING, MISSING, MISSING}, 1, {FINDING_MISSING, FINDING_MISSING, FINDING_MISSING},
         PLACE_NEW},
        {{MISSING, MISSING}, 0, {FINDING_MISSING, FINDING_MISSING}, PLACE_NOT_WHOLE},
        {{WHOLE, MISSING, MISSING}, 1, {FINDING_WHOLE, FINDING_MISSING, FINDING_MISSING},
         PLACE_NOT_WHOLE},
        {{WHOLE, WHOLE, CHANGED}, 1, {FINDING_WHOLE, FINDING_WHOLE, FINDING_DIFFERENT},
         PLACE_NOT_WHOLE},
        {{UNREADABLE}, 0, {FINDING_DIFFERENT}, PLACE_NOT_WHOLE},
        {{WHOLE, GONE}, 0, {FINDING_WHOLE, FINDING_GONE}, PLACE_WHOLE},
        {{WHOLE, LEFT}, 0, {FINDING_WHOLE, FINDING_LEFT_OVER}, PLACE_NOT_WHOLE},
    };
    for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
        const auto &c = cases[row];
        std::vector<CheckedFile> files(c.files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            files[i].state = c.files[i].state;
            if (c.files[i].found != nullptr)
                memcpy(files[i].digest, c.files[i].found, SHA256_SIZE);
            files[i].expected = c.files[i].known ? ours : nullptr;
            files[i].unwanted = c.files[i].unwanted;
        }
        std::vector<int> findings(files.size(), -1);
        EXPECT_EQ(JudgeCheckedPlace(files.data(), (int)files.size(), c.is_home, findings.data()),
                  c.place)
            << "row " << row;
        EXPECT_EQ(findings, c.findings) << "row " << row;
    }
}

} // namespace
