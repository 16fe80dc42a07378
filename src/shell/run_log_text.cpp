#include "shell.h"

#include "components.h"
#include "fileops.h"

namespace {

// Per event, the text before its path; null for events told in their own way.
const char *const EVENT_TEXT[] = {
    NULL,
    "Umieszczono: ",
    "Zastąpiony przy ponownym uruchomieniu komputera: ",
    "Kopia zapasowa: ",
    "Usunięto: ",
    "Usunięty przy ponownym uruchomieniu komputera: ",
    "Nie umieszczono: ",
    "Środowisko Java: ",
    NULL,
    NULL,
    NULL,
    NULL,
    "Kopia pakietu: ",
};
const char *const HOME_SKIPPED_TEXT[] = {
    "Środowisko Java pominięte, inni mogą je zmieniać: ",
    "Środowisko Java bez bin\\java.exe, polecenia pominięte: ",
    "Polecenia wykonane już wcześniej, pominięte w: ",
};
const char *const PACKAGE_REFUSED_TEXT[] = {
    "Plik pakietu odrzucony, brak go: ",
    "Plik pakietu odrzucony, niezgodny z listą: ",
};
const char *const NO_WAY_BACK_TEXT[] = {
    "Plik programu zmieniony w trakcie pracy, odinstalowanie niezarejestrowane: ",
    "Zapis zmian nieczytelny, zmian nie będzie można cofnąć: ",
    "Nie można zachować oryginału, pliku nie zmieniono: ",
};

int Within(long long number, int count)
{
    return number >= 0 && number < count;
}

} // namespace

int ComposeRunEventLine(char *line, size_t line_size, int event, const char *path,
                        long long number)
{
    const char *text = NULL;
    if (event == RUN_EVENT_HOME_SKIPPED && Within(number, 3))
        text = HOME_SKIPPED_TEXT[number];
    else if (event == RUN_EVENT_PACKAGE_REFUSED && Within(number, 2))
        text = PACKAGE_REFUSED_TEXT[number];
    else if (event == RUN_EVENT_NO_WAY_BACK && Within(number, 3))
        text = NO_WAY_BACK_TEXT[number];
    else if (Within(event, RUN_EVENT_PRIVATE_COPY + 1))
        text = EVENT_TEXT[event];
    if (event == RUN_EVENT_READER_ROW && Within(number, READER_ROW_COUNT))
        FormatTextBounded(line, line_size, "Czytnik: wiersz %d, %s", (int)number,
                          READER_LIST[number].text);
    else if (event == RUN_EVENT_DRIVER_EXIT)
        FormatTextBounded(line, line_size,
                          "Instalator sterownika Drivers\\" NAME_BEGIN "%s" NAME_END
                          ": kod wyjścia %lu",
                          path, (unsigned long)number);
    else if (text != NULL)
        FormatTextBounded(line, line_size, "%s" NAME_BEGIN "%s" NAME_END, text, path);
    else
        return 0;
    return 1;
}
