#include "shell.h"

#include "components.h"
#include "fileops.h"

namespace {

// Per event, the text before its path; empty for events told in their own way.
const char EVENT_TEXT[] = "\0"
                          "Umieszczono: \0"
                          "Zastąpiony przy ponownym uruchomieniu komputera: \0"
                          "Kopia zapasowa: \0"
                          "Usunięto: \0"
                          "Usunięty przy ponownym uruchomieniu komputera: \0"
                          "Nie umieszczono: \0"
                          "Środowisko Java: \0"
                          "\0\0\0\0"
                          "Kopia pakietu: ";
const char HOME_SKIPPED_TEXT[] = "Środowisko Java pominięte, inni mogą je zmieniać: \0"
                                 "Środowisko Java bez bin\\java.exe, polecenia pominięte: \0"
                                 "Polecenia wykonane już wcześniej, pominięte w: ";
const char PACKAGE_REFUSED_TEXT[] = "Plik pakietu odrzucony, brak go: \0"
                                    "Plik pakietu odrzucony, niezgodny z listą: ";
const char NO_WAY_BACK_TEXT[] =
    "Plik programu zmieniony w trakcie pracy, nic nie zmieniono: \0"
    "Zapis zmian nieczytelny, nic nie zmieniono: \0"
    "Nie można zachować oryginału, pliku nie zmieniono: \0"
    "Nie można zapisać odinstalowania, nic nie zmieniono: ";

int Within(long long number, int count)
{
    return number >= 0 && number < count;
}

} // namespace

const char *NthText(const char *texts, int index)
{
    for (; index > 0; --index) {
        while (*texts++ != '\0') {
        }
    }
    return texts;
}

int ComposeRunEventLine(char *line, size_t line_size, int event, const char *path,
                        long long number)
{
    const char *text = NULL;
    if (event == RUN_EVENT_HOME_SKIPPED && Within(number, 3))
        text = NthText(HOME_SKIPPED_TEXT, (int)number);
    else if (event == RUN_EVENT_PACKAGE_REFUSED && Within(number, 2))
        text = NthText(PACKAGE_REFUSED_TEXT, (int)number);
    else if (event == RUN_EVENT_NO_WAY_BACK && Within(number, 4))
        text = NthText(NO_WAY_BACK_TEXT, (int)number);
    else if (Within(event, RUN_EVENT_PRIVATE_COPY + 1))
        text = NthText(EVENT_TEXT, event);
    if (event == RUN_EVENT_READER_ROW && Within(number, READER_ROW_COUNT))
        FormatTextBounded(line, line_size, "Czytnik: wiersz %d, %s", (int)number,
                          READER_LIST[number].text);
    else if (event == RUN_EVENT_DRIVER_EXIT)
        FormatTextBounded(line, line_size,
                          "Instalator sterownika Drivers\\" NAME_BEGIN "%s" NAME_END
                          ": kod wyjścia %lu",
                          path, (unsigned long)number);
    else if (text != NULL && text[0] != '\0')
        FormatTextBounded(line, line_size, "%s" NAME_BEGIN "%s" NAME_END, text, path);
    else
        return 0;
    return 1;
}
