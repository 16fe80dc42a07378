#!/bin/bash
# Every function that the shipped program imports must be on the reviewed list
# below: a function that Windows Vista x64 lacks keeps the program from
# starting there at all. Anything newer is looked up with GetProcAddress.
#   vista_imports_test.sh PROGRAM OBJDUMP
set -euo pipefail
program=$1 objdump=$2

# Reviewed: kernel32, user32, advapi32 and comctl32 entries each have Windows
# Vista or earlier as "Minimum supported client" on their Microsoft page
# (SetDllDirectoryA: Vista, XP SP1; InitCommonControls,
# GetVolumeInformationByHandleW and GetFileInformationByHandleEx: Vista;
# RegDeleteKeyExA and RegGetValueA: Vista, XP x64; RegSetKeyValueA: Vista; the
# rest Windows 2000 or XP; SHA-256 in the
# PROV_RSA_AES provider: XP SP3, Vista; GetEnvironmentStrings is the export
# behind GetEnvironmentStringsA; RegQueryValueExW and RegSetValueExW, Windows
# 2000, edit PendingFileRenameOperations, whose other entries the A calls would
# change; CreateFileW, Windows XP, opens the program's own file by the path
# that GetModuleFileNameW gives; /check writes "Installed" through GetStdHandle
# only where GetFileType shows its output redirected: both Windows 2000).
# msvcrt entries are exports of Vista x64's msvcrt.dll
# since Windows 2000 and need none of the run-time's start-up; mingw-w64
# links strnlen, which that msvcrt lacks, from its own static library. realloc
# and free hold the way back's record, which has no fixed bound. The list
# holds what the program imports, so that a new import is reviewed here.
reviewed="
ADVAPI32.DLL RegCloseKey RegEnumKeyA RegOpenKeyExA RegQueryValueExA
ADVAPI32.DLL RegCreateKeyExA RegDeleteKeyExA RegDeleteValueA RegSetValueExA
ADVAPI32.DLL RegQueryValueExW RegSetValueExW RegFlushKey RegGetValueA RegSetKeyValueA
KERNEL32.DLL FlushFileBuffers SetFilePointer GetLocalTime
ADVAPI32.DLL ConvertStringSecurityDescriptorToSecurityDescriptorA CryptAcquireContextA
ADVAPI32.DLL CryptCreateHash CryptDestroyHash CryptGetHashParam CryptHashData CryptReleaseContext
ADVAPI32.DLL EqualSid GetAce GetKernelObjectSecurity
ADVAPI32.DLL GetTokenInformation IsValidSid MapGenericMask OpenProcessToken
COMCTL32.DLL InitCommonControls
KERNEL32.DLL CloseHandle CopyFileA CreateDirectoryA CreateFileA CreateProcessA DeleteFileA
KERNEL32.DLL ExitProcess FileTimeToSystemTime FindClose FindFirstFileA FindNextFileA FreeLibrary
KERNEL32.DLL GetCPInfo
KERNEL32.DLL GetEnvironmentVariableA GetExitCodeProcess GetFileAttributesA
KERNEL32.DLL GetFileInformationByHandle GetFileInformationByHandleEx GetLastError GetModuleHandleA
KERNEL32.DLL GetProcAddress
KERNEL32.DLL GetSystemDirectoryA GetWindowsDirectoryA GlobalAlloc GlobalFree
KERNEL32.DLL LoadLibraryExA MultiByteToWideChar SetDllDirectoryA SetFileAttributesA
KERNEL32.DLL WaitForSingleObject
KERNEL32.DLL FindResourceA GetCurrentDirectoryA GetCurrentProcessId GetFullPathNameA
KERNEL32.DLL GetModuleFileNameW GetShortPathNameW LoadResource LocalFree LockResource
KERNEL32.DLL MoveFileExA ReadFile RemoveDirectoryA SetCurrentDirectoryA SizeofResource
KERNEL32.DLL WideCharToMultiByte ExpandEnvironmentStringsA FreeEnvironmentStringsA GetCurrentProcess
KERNEL32.DLL GetEnvironmentStrings GetACP lstrcmpW
KERNEL32.DLL GetTempPathW GetVolumeInformationByHandleW
KERNEL32.DLL SetFileTime GetFileAttributesW FreeEnvironmentStringsW GetCurrentDirectoryW GetEnvironmentStringsW
USER32.DLL DialogBoxParamW EnableWindow EndDialog GetDlgItem GetWindowRect
USER32.DLL LoadCursorA MessageBoxW MoveWindow SendMessageA SetCursor
USER32.DLL SetWindowTextW ShowWindow GetClientRect MapDialogRect PostMessageA
ADVAPI32.DLL GetSecurityInfo GetUserNameW
KERNEL32.DLL CreateMutexA GetCommandLineW GetSystemTime GetVersionExW SetEndOfFile WriteFile
KERNEL32.DLL SetEnvironmentVariableA
KERNEL32.DLL CreateFileW
KERNEL32.DLL GetStdHandle GetFileType
MSVCRT.DLL strcspn wcscpy wcscspn wcslen
MSVCRT.DLL free realloc
MSVCRT.DLL _stricmp _vsnprintf memcmp memcpy memset strchr strcmp strlen
"
allowed=$(echo "$reviewed" | awk 'NF { for (i = 2; i <= NF; ++i) print $1 "!" $i }' | sort -u)

# objdump -p: a "DLL Name:" line, then one "<vma> <hint> <name>" line per
# function; an import by ordinal has no name and cannot be on the list.
imported=$("$objdump" -p "$program" | awk '
    /^[[:space:]]*DLL Name:/ { dll = toupper($3); next }
    dll != "" && NF == 0 { dll = ""; next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll "!" (NF >= 3 ? $3 : "#" $2) }
' | sort -u)
[ -n "$imported" ] || { echo "FAIL: no imported function found" >&2; exit 1; }

unreviewed=$(comm -23 <(echo "$imported") <(echo "$allowed"))
if [ -n "$unreviewed" ]; then
    echo "FAIL: not on the list of functions that Windows Vista x64 has:" >&2
    echo "$unreviewed" | sed 's/^/  /' >&2
    exit 1
fi
echo "$(echo "$imported" | wc -l) imported functions, all on the reviewed list"
