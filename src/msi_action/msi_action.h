// The custom action DLL that runs instalator.exe for Windows Installer. It
// imports kernel32 and msi only, so it carries its own small text helpers.
#ifndef INSTALATOR_MSI_ACTION_H
#define INSTALATOR_MSI_ACTION_H

// action_text.cpp, pure. What the action returns to Windows Installer for the
// program's exit code: 0, or 0 with `*restart` set for 3010 and 1641 (the
// restart is Windows Installer's to ask for); 1618 as it is; anything else,
// a crash's code too, 1603, which rolls the install back. For an `uninstall`,
// 1605 (nothing registered, as after an uninstall by hand) is 0 too: the
// MSI's own uninstall must not fail for ever.
enum { ACTION_SUCCESS = 0, ACTION_FAILURE = 1603, ACTION_ANOTHER_INSTALL = 1618 };
int ActionResultOfExit(unsigned long exit_code, int uninstall, int *restart);

// The action's data, "<install folder>|<the MSI's log or nothing>", into the
// program's command line "\"<folder>instalator.exe\" <arguments> /log:\"<log>\""
// and its `folder`. The log lies beside the MSI's own, or, when there is
// none or `beside_msi_log` is 0, in `windows`'s Temp. 0 when it does not fit
// `size` characters (each buffer) or the data holds no folder.
int ComposeProgramCommand(const wchar_t *data, const wchar_t *windows, const wchar_t *arguments,
                          int beside_msi_log, wchar_t *command, wchar_t *folder, int size);

#endif
