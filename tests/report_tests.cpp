// The report, status labels and exit code of a run, composed from the five
// step results and messages, and the command line; built for Windows and
// natively with sanitizers.
#include "components.h"
#include "fileops.h"
#include "shell.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

const char REMOVAL[] = "Detekcja/deinstalacja poprzedniego środowiska OCF: BŁĄD - ";
const char REMOVAL_OK[] = "Detekcja/deinstalacja poprzedniego środowiska OCF: OK\r\n";
const char DRIVER[] = "Instalacja sterownika czytnika kart: ";
const char IE[] = "Instalacja komponentów dla MS Internet Explorera: ";
const char NETSCAPE[] = "Instalacja komponentów dla Netscape 4.x: ";
const char JAVA[] = "Instalacja komponentów dla Java Plug-in: ";
const char END[] = "\r\n\r\n";
const int NOT_RUN = STEP_NOT_RUN;

struct Composed {
    std::string report;
    std::string status[STEP_COUNT];  // "-" for a label left empty
};

StepOutcomes Outcomes(int removal, int ie, int netscape, int java, int driver)
{
    StepOutcomes steps;
    memset(&steps, 0, sizeof steps);
    const int results[STEP_COUNT] = {removal, ie, netscape, java, driver};
    const char *messages[STEP_COUNT] = {"m-removal", "m-ie", "m-netscape", "m-java", "m-driver"};
    for (int step = 0; step < STEP_COUNT; ++step) {
        steps.result[step] = results[step];
        strcpy(steps.message[step], messages[step]);
    }
    return steps;
}

Composed Compose(const StepOutcomes &steps)
{
    std::vector<char> report(REPORT_SIZE, 'X');
    const char *status[STEP_COUNT];
    ComposeReport(&steps, report.data(), report.size(), status);
    Composed out;
    out.report = report.data();
    for (int step = 0; step < STEP_COUNT; ++step)
        out.status[step] = status[step] != nullptr ? status[step] : "-";
    return out;
}

struct ReportCase {
    const char *what;
    int removal, ie, netscape, java, driver;
    std::string report;
    const char *status_ie, *status_netscape, *status_java, *status_driver;
    int exit_code;
};

TEST(ComposeReport, EntriesInScreenOrderWithTheirStatusLabelsAndTheExitCode)
{
    const std::string removal_entry = std::string(REMOVAL) + "m-removal" + END;
    const ReportCase cases[] = {
        {"nothing ticked, removal fine", 1, NOT_RUN, NOT_RUN, NOT_RUN, NOT_RUN, "", "-", "-", "-",
         "-", 0},
        {"nothing ticked, removal failed", 0, NOT_RUN, NOT_RUN, NOT_RUN, NOT_RUN, removal_entry,
         "-", "-", "-", "-", 1603},
        {"the dialog's ticks, all fine", 1, NOT_RUN, NOT_RUN, RESULT_OK, RESULT_OK,
         std::string(DRIVER) + "OK" + END + JAVA + "OK" + END, "-", "-", "OK", "OK", 0},
        {"example: warning from Java, driver fine", 1, NOT_RUN, NOT_RUN, RESULT_WARNING,
         RESULT_OK, std::string(DRIVER) + "OK" + END + JAVA + "UWAGA - m-java" + END, "-", "-",
         "UWAGA", "OK", 1},
        {"failed removal first, then every component in screen order", 0, RESULT_OK,
         RESULT_ERROR, RESULT_WARNING, RESULT_ERROR,
         removal_entry + DRIVER + "BŁĄD - m-driver" + END + IE + "OK" + END + NETSCAPE +
             "BŁĄD - m-netscape" + END + JAVA + "UWAGA - m-java" + END,
         "OK", "BŁĄD", "UWAGA", "BŁĄD", 1603},
        {"an unknown result counts as a warning", 1, 7, NOT_RUN, NOT_RUN, -5,
         std::string(DRIVER) + "UWAGA - m-driver" + END + IE + "UWAGA - m-ie" + END, "UWAGA",
         "-", "-", "UWAGA", 1},
        {"Java Plug-in aborted: no entry, driver never ran", 0, NOT_RUN, NOT_RUN, RESULT_ABORTED,
         NOT_RUN, removal_entry, "-", "-", "-", "-", 1602},
        {"IE aborted: nothing after it", 1, RESULT_ABORTED, NOT_RUN, NOT_RUN, NOT_RUN, "", "-",
         "-", "-", "-", 1602},
        {"Netscape aborted after IE placed its files", 1, RESULT_WARNING, RESULT_ABORTED, NOT_RUN,
         NOT_RUN, std::string(IE) + "UWAGA - m-ie" + END, "UWAGA", "-", "-", "-", 1602},
        {"driver alone, the run's out-of-list error", 1, NOT_RUN, NOT_RUN, NOT_RUN, RESULT_ERROR,
         std::string(DRIVER) + "BŁĄD - m-driver" + END, "-", "-", "-", "BŁĄD", 1603},
    };
    for (const ReportCase &c : cases) {
        const StepOutcomes steps = Outcomes(c.removal, c.ie, c.netscape, c.java, c.driver);
        Composed out = Compose(steps);
        EXPECT_EQ(out.report, c.report) << c.what;
        EXPECT_EQ(out.status[STEP_REMOVAL], "-") << c.what;
        EXPECT_EQ(out.status[STEP_IE], c.status_ie) << c.what;
        EXPECT_EQ(out.status[STEP_NETSCAPE], c.status_netscape) << c.what;
        EXPECT_EQ(out.status[STEP_JAVA_PLUGIN], c.status_java) << c.what;
        EXPECT_EQ(out.status[STEP_DRIVER], c.status_driver) << c.what;
        const RunFacts none = {0, 0, 0, 0};
        EXPECT_EQ(ExitCodeOfRun(&steps, &none), c.exit_code) << c.what;
        // The report file: the same entries a line each, and the removal's always.
        std::string lines = c.removal == 1 ? std::string(REMOVAL_OK) : "";
        for (size_t at = 0, end; (end = c.report.find(END, at)) != std::string::npos; at = end + 4)
            lines += c.report.substr(at, end - at) + "\r\n";
        std::vector<char> composed(REPORT_SIZE, 'X');
        ComposeReportLines(&steps, composed.data(), composed.size());
        EXPECT_EQ(std::string(composed.data()), lines) << c.what;
        // Step by step as the run goes, in its order.
        std::string step_lines;
        for (int step : {STEP_REMOVAL, STEP_DRIVER, STEP_IE, STEP_NETSCAPE, STEP_JAVA_PLUGIN}) {
            ComposeStepLine(&steps, step, composed.data(), composed.size());
            step_lines += composed[0] != '\0' ? std::string(composed.data()) + "\r\n" : "";
        }
        EXPECT_EQ(step_lines, lines) << c.what;
    }
}

TEST(ExitCodeOfRun, WhatWaitsForTheRestartAndFilesNotPlaced)
{
    const struct {
        int java;
        RunFacts facts;
        int exit_code;
    } cases[] = {
        {RESULT_OK, {1, 0, 0}, 3010},           {RESULT_OK, {0, 0, 3010}, 3010},
        {RESULT_OK, {1, 0, 1641}, 1641},        {RESULT_OK, {1, 1, 3010}, 1},
        {RESULT_WARNING, {1, 0, 3010}, 1},      {RESULT_ERROR, {0, 2, 0}, 1603},
        {RESULT_ABORTED, {1, 0, 0}, 1602},      {RESULT_OK, {0, 0, 7}, 0},
        {RESULT_OK, {1, 0, 3010, 1}, 1},
    };
    for (const auto &c : cases) {
        const StepOutcomes steps = Outcomes(1, NOT_RUN, NOT_RUN, c.java, RESULT_OK);
        EXPECT_EQ(ExitCodeOfRun(&steps, &c.facts), c.exit_code)
            << c.java << " " << c.facts.restart << c.facts.not_placed << c.facts.driver_exit;
    }
}

TEST(RunEventLine, NamesWhatWasDoneAndWhy)
{
    const struct {
        int event;
        long long number;
        const char *line;  // before the path; null: no line
    } cases[] = {
        {RUN_EVENT_WILL_CHANGE, 0, nullptr}, {RUN_EVENT_PLACED, 0, "Umieszczono: "},
        {RUN_EVENT_PLACED_AT_RESTART, 0, "Zastąpiony przy ponownym uruchomieniu komputera: "},
        {RUN_EVENT_BACKED_UP, 0, "Kopia zapasowa: "}, {RUN_EVENT_REMOVED, 0, "Usunięto: "},
        {RUN_EVENT_REMOVED_AT_RESTART, 0, "Usunięty przy ponownym uruchomieniu komputera: "},
        {RUN_EVENT_NOT_PLACED, 0, "Nie umieszczono: "},
        {RUN_EVENT_HOME_FOUND, 0, "Środowisko Java: "},
        {RUN_EVENT_HOME_SKIPPED, HOME_UNTRUSTED,
         "Środowisko Java pominięte, inni mogą je zmieniać: "},
        {RUN_EVENT_HOME_SKIPPED, HOME_NO_LAUNCHER,
         "Środowisko Java bez bin\\java.exe, polecenia pominięte: "},
        {RUN_EVENT_HOME_SKIPPED, HOME_HANDLED, "Polecenia wykonane już wcześniej, pominięte w: "},
        {RUN_EVENT_PACKAGE_REFUSED, PACKAGE_FILE_MISSING, "Plik pakietu odrzucony, brak go: "},
        {RUN_EVENT_PACKAGE_REFUSED, PACKAGE_FILE_UNLIKE,
         "Plik pakietu odrzucony, niezgodny z listą: "},
        {RUN_EVENT_PRIVATE_COPY, 0, "Kopia pakietu: "},
        {RUN_EVENT_NO_WAY_BACK, WAY_BACK_PROGRAM_CHANGED,
         "Plik programu zmieniony w trakcie pracy, nic nie zmieniono: "},
        {RUN_EVENT_NO_WAY_BACK, WAY_BACK_ORIGINAL_NOT_KEPT,
         "Nie można zachować oryginału, pliku nie zmieniono: "},
        {RUN_EVENT_NO_WAY_BACK, WAY_BACK_NOT_MADE,
         "Nie można zapisać odinstalowania, nic nie zmieniono: "},
        {RUN_EVENT_NO_WAY_BACK, 4, nullptr}, {RUN_EVENT_NO_WAY_BACK + 1, 0, nullptr},
        {RUN_EVENT_HOME_SKIPPED, 3, nullptr}, {RUN_EVENT_PACKAGE_REFUSED, -1, nullptr},
        {RUN_EVENT_READER_ROW, 2, nullptr},
        {RUN_EVENT_DRIVER_EXIT, 3010, "Instalator sterownika Drivers\\"},
    };
    for (const auto &c : cases) {
        char line[600] = "untouched";
        EXPECT_EQ(ComposeRunEventLine(line, sizeof line, c.event, "C:\\a b", c.number),
                  c.line != nullptr);
        const std::string path = NAME_BEGIN "C:\\a b" NAME_END;
        const std::string tail = c.event == RUN_EVENT_DRIVER_EXIT ? ": kod wyjścia 3010" : "";
        EXPECT_EQ(std::string(line), c.line ? c.line + path + tail : "untouched") << c.event;
    }
    char row[80];
    ASSERT_TRUE(ComposeRunEventLine(row, sizeof row, RUN_EVENT_READER_ROW, nullptr, 1));
    EXPECT_STREQ(row, "Czytnik: wiersz 1, GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit");
}

TEST(ComposeReport, SuccessIgnoresAnyMessageTheStepWrote)
{
    StepOutcomes steps = Outcomes(1, RESULT_OK, RESULT_OK, RESULT_OK, RESULT_OK);
    Composed out = Compose(steps);
    EXPECT_EQ(out.report, std::string(DRIVER) + "OK" + END + IE + "OK" + END + NETSCAPE + "OK" +
                              END + JAVA + "OK" + END);
    EXPECT_EQ(out.report.find("m-"), std::string::npos);
}

TEST(ComposeReport, LongestReportFitsItsBufferWhole)
{
    StepOutcomes steps = Outcomes(0, RESULT_WARNING, RESULT_WARNING, RESULT_WARNING,
                                  RESULT_WARNING);
    const std::string longest[STEP_COUNT] = {
        std::string(591, 'r'), std::string(591, 'i'), std::string(591, 'n'),
        std::string(591, 'j'), std::string(591, 'd')};
    for (int step = 0; step < STEP_COUNT; ++step)
        strcpy(steps.message[step], longest[step].c_str());
    Composed out = Compose(steps);
    const std::string expected = std::string(REMOVAL) + longest[STEP_REMOVAL] + END + DRIVER +
                                 "UWAGA - " + longest[STEP_DRIVER] + END + IE + "UWAGA - " +
                                 longest[STEP_IE] + END + NETSCAPE + "UWAGA - " +
                                 longest[STEP_NETSCAPE] + END + JAVA + "UWAGA - " +
                                 longest[STEP_JAVA_PLUGIN] + END;
    EXPECT_EQ(out.report, expected);
    EXPECT_LT(expected.size(), (size_t)REPORT_SIZE);
}

TEST(ComposeReport, UnterminatedMessagesAreCutAtTheirBuffer)
{
    StepOutcomes steps = Outcomes(0, NOT_RUN, NOT_RUN, RESULT_ERROR, RESULT_ERROR);
    for (int step = 0; step < STEP_COUNT; ++step)
        memset(steps.message[step], 'z', STEP_MESSAGE_SIZE);
    Composed out = Compose(steps);
    const std::string cut(STEP_MESSAGE_SIZE - 1, 'z');
    EXPECT_EQ(out.report, std::string(REMOVAL) + cut + END + DRIVER + "BŁĄD - " + cut + END +
                              JAVA + "BŁĄD - " + cut + END);
}

TEST(ComposeReport, SmallBuffersAreFilledAndTerminatedNeverPassed)
{
    StepOutcomes steps = Outcomes(0, RESULT_ERROR, RESULT_ERROR, RESULT_ERROR, RESULT_ERROR);
    const std::string whole = Compose(steps).report;
    for (size_t size : {1u, 2u, 10u, 58u, 59u, 200u, 1000u}) {
        // Exactly `size` bytes, so AddressSanitizer sees any write past them.
        std::vector<char> report(size, 'X');
        const char *status[STEP_COUNT];
        ComposeReport(&steps, report.data(), report.size(), status);
        ASSERT_EQ(memchr(report.data(), '\0', size) != nullptr, true) << size;
        EXPECT_EQ(std::string(report.data()), whole.substr(0, size - 1)) << size;
        EXPECT_STREQ(status[STEP_DRIVER], "BŁĄD") << size;
    }
}

TEST(ReaderList, ItemIndexGivesTheRowsReaderTypeAndTheWindowsItsRow)
{
    EXPECT_STREQ(READER_LIST[0].text, "GemPC(Twin,Tokens)-Win8-64bit");
    EXPECT_STREQ(READER_LIST[1].text, "GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit");
    struct {
        long long index;
        int in_list;
        int reader_type;
    } const cases[] = {
        {0, 1, 5}, {1, 1, 2}, {-1, 0, 0}, {2, 0, 0}, {-2, 0, 0}, {0x100000000LL, 0, 0},
    };
    for (const auto &c : cases) {
        int reader_type = 0;
        EXPECT_EQ(ReaderTypeOfItem(c.index, &reader_type), c.in_list) << c.index;
        EXPECT_EQ(reader_type, c.reader_type) << c.index;
    }
    // Windows 8 (6.2) and later take the first row.
    const unsigned long versions[][3] = {{6, 1, 1}, {6, 2, 0}, {6, 3, 0}, {10, 0, 0}};
    for (const auto &v : versions)
        EXPECT_EQ(ReaderRowForWindows(v[0], v[1]), (int)v[2]) << v[0] << "." << v[1];
}

} // namespace
