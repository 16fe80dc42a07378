/* Recording program: a stand-in for an external program that the installer
   starts (the Java launcher <home>\bin\java.exe, the driver installer 410.exe).

   Copy it under the name the installer runs, e.g. <home>\bin\java.exe. Each run
   appends one line to <name>.calls beside the copy (java.calls for java.exe):

       <current directory><TAB><whole command line>\r\n

   and exits with a code read from <name>.exit beside the copy (java.exit): one
   decimal code per line, used in call order (the first run takes line 1, the
   second line 2, ...); the last line holds for every later run. No .exit file
   means exit code 0. It never waits for input and opens no window. While a
   <name>.wait file is beside the copy, each run waits (a minute at most) after
   it has appended its line, so that a test can cut the installer short. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int CountLines(const char *path)
{
    int lines = 0;
    int c;
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return 0;
    while ((c = fgetc(file)) != EOF) {
        if (c == '\n')
            ++lines;
    }
    fclose(file);
    return lines;
}

static int ExitCodeForCall(const char *path, int call)
{
    char line[64];
    int code = 0;
    int index = 0;
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return 0;
    while (fgets(line, sizeof line, file) != NULL) {
        code = atoi(line);
        if (index++ == call)
            break;
    }
    fclose(file);
    return code;
}

int main(void)
{
    char base[MAX_PATH];
    char calls[MAX_PATH + 8];
    char exits[MAX_PATH + 8];
    char wait[MAX_PATH + 8];
    char directory[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, base, MAX_PATH);
    char *dot;
    int call;
    FILE *file;

    if (length == 0 || length >= MAX_PATH)
        return 100;
    dot = strrchr(base, '.');
    if (dot != NULL && strchr(dot, '\\') == NULL)
        *dot = '\0';
    snprintf(calls, sizeof calls, "%s.calls", base);
    snprintf(exits, sizeof exits, "%s.exit", base);
    snprintf(wait, sizeof wait, "%s.wait", base);
    if (GetCurrentDirectoryA(sizeof directory, directory) == 0)
        directory[0] = '\0';

    call = CountLines(calls);
    file = fopen(calls, "ab");
    if (file == NULL)
        return 101;
    fprintf(file, "%s\t%s\r\n", directory, GetCommandLineA());
    fclose(file);
    for (int waited = 0; waited < 60000 && GetFileAttributesA(wait) != INVALID_FILE_ATTRIBUTES;
         waited += 20)
        Sleep(20);
    return ExitCodeForCall(exits, call);
}
