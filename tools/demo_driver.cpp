// Drives instalator.exe the way a user does, for scripts/demo.sh: Yes at the
// confirmation, the default ticks and reader, "In&staluj", Retry at every
// conflict prompt, then "&Szczegóły >>" and "&Zamknij".
//
//     demo_driver.exe PACKAGE_DIR OUTPUT_DIR
//
// Writes to OUTPUT_DIR the screenshots before.bmp, after.bmp and unfolded.bmp
// (the dialog window only) and report.txt: the status labels and the report,
// in UTF-8. Exits 0 when the run completed and the program ended with 0.
#include "fileops.h"
#include "resource.h"
#include "windows_ui.h"

#include <stdio.h>

#include <string>

namespace {

const char CONFIRMATION_CAPTION[] = "Instalator czytnika kart mikropr. dla przeglądarek internetowych";
const char DIALOG_TITLE[] = "Instalator czytnika kart mikroproc. [v2.8]";
const int WINDOW_TIMEOUT_MS = 30000;
const int RUN_TIMEOUT_MS = 600000;
// Retry forever would loop on a file that can never be replaced.
const int RETRIES_MAX = 20;

std::string Utf8(const std::string &ansi)
{
    std::wstring wide(ansi.size() + 1, L'\0');
    int length = MultiByteToWideChar(1250, 0, ansi.c_str(), -1, &wide[0], (int)wide.size());
    std::string utf8(length * 4 + 1, '\0');
    int written = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], (int)utf8.size(),
                                      nullptr, nullptr);
    utf8.resize(written > 0 ? written - 1 : 0);
    return utf8;
}

void Say(const std::string &text)
{
    printf("demo: %s\n", Utf8(text).c_str());
    fflush(stdout);
}

// Presses "In&staluj" and answers conflict prompts until the buttons show the
// after-run captions; false on a time-out.
bool RunAndAnswerPrompts(HWND dialog)
{
    PressButton(dialog, IDOK);
    int retries = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD)RUN_TIMEOUT_MS;) {
        if (ReadControlText(dialog, IDCANCEL) == "&Zamknij")
            return true;
        HWND prompt = WaitForWindow("#32770", CONFLICT_PROMPT_CAPTION, 100);
        if (prompt == nullptr)
            continue;
        Say("conflict prompt: " + ReadControlText(prompt, MESSAGE_BOX_TEXT_ID));
        int answer = retries < RETRIES_MAX ? IDRETRY : IDIGNORE;
        Say(answer == IDRETRY ? "answering Retry" : "answering Ignore");
        ++retries;
        PressButton(prompt, answer);
        WaitForWindowGone(prompt, 5000);
    }
    return false;
}

void WriteReport(HWND dialog, const std::string &path)
{
    static const struct {
        int id;
        const char *name;
    } labels[] = {
        {IDC_STATUS_DRIVERS, "Sterowniki czytnika kart"},
        {IDC_STATUS_IE, "Komponenty dla MS Internet Explorer"},
        {IDC_STATUS_NETSCAPE, "Komponenty dla Netscape 4.x"},
        {IDC_STATUS_JAVA_PLUGIN, "Komponenty dla Java Plug-in"},
    };
    std::string text = "Status labels:\n";
    for (const auto &label : labels)
        text += std::string("  ") + label.name + ": \"" + ReadControlText(dialog, label.id) + "\"\n";
    text += "Report:\n" + ReadControlText(dialog, IDC_DETAILS);
    FILE *file = fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::string utf8 = Utf8(text);
        fwrite(utf8.data(), 1, utf8.size(), file);
        fclose(file);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: demo_driver PACKAGE_DIR OUTPUT_DIR\n");
        return 2;
    }
    const std::string package = WindowsPath(argv[1]);
    const std::string output = WindowsPath(argv[2]);

    ChildProcess installer(package + "\\instalator.exe", package);
    if (!installer.started()) {
        Say("instalator.exe did not start");
        return 1;
    }
    HWND box = WaitForProcessWindow(installer.id(), "#32770", CONFIRMATION_CAPTION,
                                    WINDOW_TIMEOUT_MS);
    if (box == nullptr) {
        Say("no confirmation prompt");
        return 1;
    }
    Say("confirmation prompt: answering Yes");
    PressButton(box, IDYES);
    HWND dialog = WaitForProcessWindow(installer.id(), "#32770", DIALOG_TITLE, WINDOW_TIMEOUT_MS);
    if (dialog == nullptr) {
        Say("no main dialog");
        return 1;
    }
    Sleep(500);
    SaveWindowScreenshot(dialog, output + "\\before.bmp");

    Say("pressing In&staluj (reader: " + ReadControlText(dialog, IDC_READER_LIST) + ")");
    if (!RunAndAnswerPrompts(dialog)) {
        Say("the run did not end in time");
        return 1;
    }
    Sleep(500);
    SaveWindowScreenshot(dialog, output + "\\after.bmp");
    WriteReport(dialog, output + "\\report.txt");

    Say("pressing &Szczegóły >>");
    PressButton(dialog, IDOK);
    WaitForText(dialog, IDOK, "&Szczegóły <<");
    Sleep(500);
    SaveWindowScreenshot(dialog, output + "\\unfolded.bmp");

    Say("pressing &Zamknij");
    PressButton(dialog, IDCANCEL);
    HWND notice = WaitForProcessWindow(installer.id(), "#32770", "Info", WINDOW_TIMEOUT_MS);
    if (notice != nullptr) {
        Say("restart notice: " + ReadControlText(notice, MESSAGE_BOX_TEXT_ID));
        PressButton(notice, IDOK);
    }
    DWORD code = installer.WaitForExit(WINDOW_TIMEOUT_MS);
    Say("instalator.exe ended with " + std::to_string(code));
    return code == 0 && notice != nullptr ? 0 : 1;
}
