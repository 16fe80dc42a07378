#include "shell.h"

// The list has no CBS_SORT, so an item's index is its row here.
const ReaderRow READER_LIST[READER_ROW_COUNT] = {
    {"GemPC(Twin,Tokens)-Win8-64bit", 5},
    {"GemPC(Twin,Tokens)-Win7/XP/Vista/2000-64bit", 2},
};

int ReaderTypeOfItem(long long index, int *reader_type)
{
    if (index < 0 || index >= READER_ROW_COUNT)
        return 0;
    *reader_type = READER_LIST[index].reader_type;
    return 1;
}

int ReaderRowForWindows(unsigned long major, unsigned long minor)
{
    return major > 6 || (major == 6 && minor >= 2) ? 0 : 1;
}
