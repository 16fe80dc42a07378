// Runs the reader driver component once in a process of its own, so that a
// test can plant DLLs beside the program: reader_driver_probe <reader type>.
// Exits with the component result.
#include "components.h"

#include <stdlib.h>

int main(int argc, char **argv)
{
    char message[592] = "";
    return InstallReaderDriver(argc > 1 ? atoi(argv[1]) : 5, message, sizeof message);
}
