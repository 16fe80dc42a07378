#include "components.h"

#include "fileops.h"

const char TEXT_USER_ABORT[] = "Przerwa na życzenie użytkownika";
const char TEXT_PACKAGE_INCOMPLETE[] = "Instalator jest niekompletny";

void FormatCopyError(char *message, unsigned int message_size, int copy_result,
                     const char *failed_path)
{
    FormatTextBounded(message, message_size,
                      "Błąd kopiowania pliku: kod #%d, plik: `" NAME_BEGIN "%s" NAME_END "'",
                      copy_result, failed_path);
}
