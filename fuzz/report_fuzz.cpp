// ComposeReport on any five step results and five messages (terminated or
// not) and any report size: the report is exactly the concatenation that the
// result table defines, cut at the buffer and always terminated within it;
// the status labels follow the same table; a report buffer of REPORT_SIZE
// bytes always holds the whole report.
#include "components.h"
#include "fuzz_input.h"
#include "shell.h"

#include <stdlib.h>

#include <algorithm>
#include <string>

namespace {

const char ENTRY_END[] = "\r\n\r\n";

// Results near the table's values are the interesting ones, but any int may come.
int ReadResult(FuzzInput &input)
{
    uint32_t choice = input.Number(1);
    if (choice < 250)
        return (int)(choice % 6) - 1;  // -1 .. 4
    return (int)input.Number(4);
}

// A message is its text up to the first terminator, at most 591 characters.
std::string MessageText(const char *message)
{
    return std::string(message, strnlen(message, STEP_MESSAGE_SIZE - 1));
}

std::string ResultPart(int result, const char *message, const char **status)
{
    if (result == RESULT_OK) {
        *status = "OK";
        return "OK";
    }
    if (result == RESULT_ERROR) {
        *status = "BŁĄD";
        return "BŁĄD - " + MessageText(message);
    }
    *status = "UWAGA";
    return "UWAGA - " + MessageText(message);
}

std::string ExpectedReport(const StepOutcomes &steps, const char *status[STEP_COUNT])
{
    static const struct {
        int step;
        const char *header;
    } components[] = {
        {STEP_DRIVER, "Instalacja sterownika czytnika kart: "},
        {STEP_IE, "Instalacja komponentów dla MS Internet Explorera: "},
        {STEP_NETSCAPE, "Instalacja komponentów dla Netscape 4.x: "},
        {STEP_JAVA_PLUGIN, "Instalacja komponentów dla Java Plug-in: "},
    };
    for (int step = 0; step < STEP_COUNT; ++step)
        status[step] = NULL;
    std::string report;
    if (steps.result[STEP_REMOVAL] == 0)
        report += "Detekcja/deinstalacja poprzedniego środowiska OCF: BŁĄD - " +
                  MessageText(steps.message[STEP_REMOVAL]) + ENTRY_END;
    for (const auto &c : components) {
        int result = steps.result[c.step];
        // The driver step never aborts; any value it gives but -1 has its entry.
        bool shown = result != STEP_NOT_RUN && (c.step == STEP_DRIVER || result != RESULT_ABORTED);
        if (shown)
            report += c.header + ResultPart(result, steps.message[c.step], &status[c.step]) +
                      ENTRY_END;
    }
    return report;
}

bool SameText(const char *a, const char *b)
{
    return (a == NULL && b == NULL) || (a != NULL && b != NULL && strcmp(a, b) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    StepOutcomes *steps = (StepOutcomes *)malloc(sizeof(StepOutcomes));
    for (int step = 0; step < STEP_COUNT; ++step)
        steps->result[step] = ReadResult(input);
    uint32_t size_choice = input.Number(2);
    size_t report_size = (size_choice & 0x8000) ? (size_choice & 0xFFF) + 1 : REPORT_SIZE;
    for (int step = 0; step < STEP_COUNT; ++step) {
        // Bit 0 of the fill byte: the message fills its whole buffer, unterminated.
        uint32_t fill = input.Number(1);
        std::string text = input.Text();
        if (fill & 1) {
            memset(steps->message[step], text.empty() ? 'm' : text[0], STEP_MESSAGE_SIZE);
            memcpy(steps->message[step], text.data(), std::min(text.size(), (size_t)STEP_MESSAGE_SIZE));
        } else {
            size_t length = std::min(text.size(), (size_t)STEP_MESSAGE_SIZE - 1);
            memcpy(steps->message[step], text.data(), length);
            steps->message[step][length] = '\0';
        }
    }

    char *report = (char *)malloc(report_size);
    memset(report, 'X', report_size);
    const char *status[STEP_COUNT];
    ComposeReport(steps, report, report_size, status);

    const char *expected_status[STEP_COUNT];
    std::string expected = ExpectedReport(*steps, expected_status);
    size_t length = strnlen(report, report_size);
    if (length >= report_size)
        abort();
    if (report_size == REPORT_SIZE && expected.size() > REPORT_SIZE - 1)
        abort();
    if (std::string(report, length) != expected.substr(0, report_size - 1))
        abort();
    for (int step = 0; step < STEP_COUNT; ++step)
        if (!SameText(status[step], expected_status[step]))
            abort();

    free(report);
    free(steps);
    return 0;
}
