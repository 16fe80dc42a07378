#include "wayback.h"

#include <windows.h>

enum { SIGNATURE_SIZE_MAX = 1 << 20 };

// The file that matched the image, kept for every run of the process; null
// when it did not match or could not be read. Its volume and index tell the
// copy that the program runs from.
static struct {
    unsigned char *bytes;
    DWORD size, volume, index_high, index_low;
} g_program;

int CaptureProgramImage(void)
{
    wchar_t self[PATH_BUFFER_SIZE];
    BY_HANDLE_FILE_INFORMATION information;
    DWORD count = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    unsigned char *bytes = NULL;
    const unsigned char *image = (const unsigned char *)GetModuleHandleA(NULL);
    const IMAGE_NT_HEADERS64 *headers =
        (const IMAGE_NT_HEADERS64 *)(image + ((const IMAGE_DOS_HEADER *)image)->e_lfanew);
    // A signed file ends in the certificate table that its headers name, after
    // the sections (within SizeOfImage), 8-aligned. Real ones are some kilobytes;
    // a larger one is refused rather than read.
    DWORD signature = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
    DWORD length = GetModuleFileNameW(NULL, self, PATH_BUFFER_SIZE);
    if (length == 0 || length >= PATH_BUFFER_SIZE)
        goto done;
    // Read sharing only: nobody writes it while it is read.
    file = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        information.nNumberOfLinks != 1 || information.nFileSizeHigh != 0 ||
        signature > SIGNATURE_SIZE_MAX ||
        information.nFileSizeLow > headers->OptionalHeader.SizeOfImage + 8 + signature)
        goto done;
    bytes = (unsigned char *)GlobalAlloc(GMEM_FIXED, information.nFileSizeLow);
    // The program's own data is compared too: nothing of it is written before.
    if (bytes == NULL || !ReadFile(file, bytes, information.nFileSizeLow, &count, NULL) ||
        count != information.nFileSizeLow ||
        !ImageMatchesFile(bytes, count, image, headers->OptionalHeader.SizeOfImage,
                          (ULONG_PTR)image)) {
        GlobalFree(bytes);
        goto done;
    }
    g_program.bytes = bytes;
    g_program.size = count;
    g_program.volume = information.dwVolumeSerialNumber;
    g_program.index_high = information.nFileIndexHigh;
    g_program.index_low = information.nFileIndexLow;
done:
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return g_program.bytes != NULL;
}

int WriteProgramCopy(const char *path)
{
    char fresh[PATH_BUFFER_SIZE + 8];
    BY_HANDLE_FILE_INFORMATION information;
    int same = 0;
    DWORD written = 0;
    if (g_program.bytes == NULL) {
        wchar_t self[PATH_BUFFER_SIZE] = L"";
        GetModuleFileNameW(NULL, self, PATH_BUFFER_SIZE);
        WidePathToAnsi(self, fresh);
        TellRun(RUN_EVENT_NO_WAY_BACK, fresh, NULL, WAY_BACK_PROGRAM_CHANGED);
        return 0;
    }
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        same = GetFileInformationByHandle(file, &information) &&
               information.dwVolumeSerialNumber == g_program.volume &&
               information.nFileIndexHigh == g_program.index_high &&
               information.nFileIndexLow == g_program.index_low;
        CloseHandle(file);
    }
    // Run from the copy, the copy already is the program.
    if (same)
        return (int)g_program.size;
    FormatTextBounded(fresh, sizeof fresh, "%s.new", path);
    // Made anew, so that it takes its own DACL (a move keeps it): the folder's
    // lets no user start it, so Apps & features could not.
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, (void *)PROGRAM_SECURITY, FALSE};
    DeleteFileA(fresh);
    file = CreateFileA(fresh, GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int whole = WriteFile(file, g_program.bytes, g_program.size, &written, NULL) &&
                written == g_program.size;
    CloseHandle(file);
    if (whole && MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return (int)g_program.size;
    DeleteFileA(fresh);
    return 0;
}
