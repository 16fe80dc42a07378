// The Polish text on a Windows whose ANSI code page is not 1250, such as the
// English Windows of a Polish user: CTest runs this program, and so the
// installer it starts, under en_US.UTF-8, which Wine maps to code page 1252.
// Every text is read as UTF-16, the way the screen shows it.
#include "fileops.h"
#include "installer_session.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t CONFIRMATION_CAPTION_SHOWN[] =
    L"Instalator czytnika kart mikropr. dla przeglądarek internetowych";
const wchar_t CONFIRMATION_TEXT_SHOWN[] =
    L"Za chwilę rozpocznie się instalacja i konfiguracja środowiska obsługi czytnika kart "
    L"mikroprocesorowych, dla współpracy z przeglądarkami internetowymi: MS Internet Explorer i "
    L"tych pracujących\nna bazie silnika Java Plug-in (m.in. przeglądarki: Mozilla, Netscape "
    L"7.x, Opera)\n\nInstalator spróbuje samodzielnie wykryć przeglądarki zainstalowane na tym "
    L"komputerze i dokonać dla nich konfiguracji odpowiedniego środowiska. Dlatego też należy "
    L"mieć już zainstalowane przeglądarki internetowe, które mają współpracować z czytnikiem "
    L"kart, lub gdy ich nie ma, opuścić ten instalator, zainstalować wymagane przeglądarki i "
    L"uruchomić go ponownie.\n\nCzy chcesz kontynuować instalacje ?";
const wchar_t REPORT_SHOWN[] =
    L"Detekcja/deinstalacja poprzedniego środowiska OCF: BŁĄD - Błąd kasowania pliku "
    L"ocf1.2.jar w katalogu systemowym\r\n\r\n"
    L"Instalacja sterownika czytnika kart: BŁĄD - Instalator jest niekompletny\r\n\r\n"
    L"Instalacja komponentów dla Java Plug-in: BŁĄD - Instalator jest niekompletny\r\n\r\n";
const wchar_t RESTART_TEXT_SHOWN[] =
    L"Dla poprawnego zakończenia instalacji konieczne jest zrestartowanie komputera.";

// Paths of the tests are ASCII.
std::wstring Widen(const std::string &ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// Keeps a picture of one window for a person to look at.
void SaveWindowArtifact(HWND window, const char *name)
{
    std::string directory = WindowsPath(TEST_ARTIFACTS_DIR);
    CreateDirectoryA(directory.c_str(), nullptr);
    SaveWindowScreenshot(window, directory + "\\code-page-1252-" + name + ".bmp");
}

// Without the code page 1252 these tests would pass whatever the installer does.
void AssertWesternCodePage()
{
    ASSERT_EQ(GetACP(), 1252u) << "run with WINE_RUN_LOCALE=en_US.UTF-8";
}

class WesternInstaller : public Installer {
protected:
    void SetUp() override
    {
        AssertWesternCodePage();
        Installer::SetUp();
        leftover = JoinPath(SystemDirectory(), "ocf1.2.jar");
    }

    // Also the way back that the run made, which the next test would inherit.
    void TearDown() override
    {
        SetReadOnly(leftover, false);
        Installer::TearDown();
    }

    std::string leftover;
};

TEST_F(WesternInstaller, EveryTextSetAtRunTimeShowsItsPolishLetters)
{
    // Entries and labels with Polish letters: a removal refused, and two steps
    // without their package subdirectories.
    ASSERT_TRUE(WriteTextFile(leftover, "previous OCF"));
    SetReadOnly(leftover, true);
    RemoveTree(package / "Drivers");
    RemoveTree(package / "sun");

    Start();
    HWND box = WaitForProcessWindow(process->id(), "#32770", nullptr, WINDOW_TIMEOUT_MS);
    ASSERT_NE(box, nullptr);
    Sleep(300);
    SaveWindowArtifact(box, "confirmation");
    EXPECT_EQ(ReadWindowTextW(box), CONFIRMATION_CAPTION_SHOWN);
    EXPECT_EQ(ReadControlTextW(box, MESSAGE_BOX_TEXT_ID), CONFIRMATION_TEXT_SHOWN);
    PressButton(box, IDYES);

    HWND dialog = WaitForProcessWindow(process->id(), "#32770", DIALOG_TITLE, WINDOW_TIMEOUT_MS);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadWindowTextW(dialog), L"Instalator czytnika kart mikroproc. [v2.8]");
    // The template's own text, the first control without an id: the group box.
    EXPECT_EQ(ReadControlTextW(dialog, 0xFFFF), L"Instalowane składniki");
    ASSERT_TRUE(RunInstallation(dialog));
    EXPECT_EQ(ReadControlTextW(dialog, IDC_DETAILS), REPORT_SHOWN);
    EXPECT_EQ(ReadControlTextW(dialog, IDC_STATUS_DRIVERS), L"BŁĄD");
    EXPECT_EQ(ReadControlTextW(dialog, IDC_STATUS_JAVA_PLUGIN), L"BŁĄD");
    EXPECT_EQ(ReadControlTextW(dialog, IDOK), L"&Szczegóły >>");

    PressButton(dialog, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ReadControlTextW(dialog, IDOK) == L"&Szczegóły <<"; }));
    Sleep(300);
    SaveWindowArtifact(dialog, "unfolded");

    CloseAfterRun(dialog);
    ASSERT_EQ(restart_notices.WideTexts().size(), 1u);
    EXPECT_EQ(restart_notices.WideTexts()[0], RESTART_TEXT_SHOWN);
}

TEST(WesternConflictPrompt, ShowsItsPolishLettersAndTheSystemsNames)
{
    AssertWesternCodePage();
    ScratchDir dir;
    // A name as the file system gives it, in the system's code page.
    std::string source = dir / "P\xE8re.jar";
    const std::wstring source_shown = Widen(dir.path()) + L"\\Père.jar";
    std::string target = dir / "target.jar";
    ASSERT_TRUE(WriteTextFile(source, "new library"));
    ASSERT_TRUE(WriteTextFile(target, "installed library"));
    SetWriteTime(source, 2023, 1, 2, 3, 4, 5);
    SetWriteTime(target, 2004, 11, 12, 13, 14, 15);
    SetReadOnly(target, true);
    PromptAnswerer prompts{CONFLICT_PROMPT_CAPTION};
    prompts.Queue(IDIGNORE);

    EXPECT_EQ(CopyFileGuarded(source.c_str(), target.c_str(), 0), COPY_OK);
    ExpectAllPromptsAnswered(prompts);
    ASSERT_EQ(prompts.WideTexts().size(), 1u);
    EXPECT_EQ(prompts.WideTexts()[0],
              L"Wykryto problem przy próbie skopiowania pliku do katalogu docelowego.\n"
              L"Podany plik już istnieje.\n\nInformacje o plikach:\n\n"
              L"ŹRÓDŁOWY\nNazwa: " + source_shown + L"\nRozmiar: 11\n"
              L"Data modyfikacji: 2023-01-02, 03:04:05\n\n"
              L"DOCELOWY\nNazwa: " + Widen(target) + L"\nRozmiar: 17\n"
              L"Data modyfikacji: 2004-11-12, 13:14:15\n\n");
}

// UTF-8 takes no flags (Windows refuses them, Wine not): the way back tells.
TEST(WidePathToCodePage, OnlyWhenTheCodePageSpellsTheWholePath)
{
    const struct {
        unsigned code_page;
        const wchar_t *wide;
        bool converts;
    } cases[] = {
        {1250, L"C:\\\u0141ukasz", true}, {65001, L"C:\\\u0141ukasz", true},
        {932, L"C:\\\u0141ukasz", false}, {1252, L"C:\\\u0141ukasz", false},
        {932, L"C:\\a\u00A5b", false},  // best fit: the yen sign as a backslash
        {65001, L"C:\\\xD800", false},  // a lone surrogate
    };
    for (const auto &c : cases) {
        char path[PATH_BUFFER_SIZE];
        EXPECT_EQ(WidePathToCodePage(c.code_page, c.wide, path) != 0, c.converts) << c.code_page;
    }
}

} // namespace
