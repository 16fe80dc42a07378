// Resource ids of the installer: the main dialog, its controls, the icon and
// the package list.
// Shared by the resource script and the shell, so plain #defines only.
#ifndef INSTALATOR_RESOURCE_H
#define INSTALATOR_RESOURCE_H

#define IDI_INSTALATOR 1
#define IDD_MAIN 101
// In dialog units; the dialog measures its full height from it.
#define IDD_MAIN_HEIGHT 255
// RT_RCDATA: the package list of a release (package_list.py's lines).
#define IDR_PACKAGE_LIST 201

#define IDC_DRIVERS 1001
#define IDC_IE 1002
#define IDC_NETSCAPE 1003
#define IDC_JAVA_PLUGIN 1004
#define IDC_STATUS_DRIVERS 1005
#define IDC_STATUS_IE 1006
#define IDC_STATUS_NETSCAPE 1007
#define IDC_STATUS_JAVA_PLUGIN 1008
#define IDC_DETAILS 1009
#define IDC_READER_LIST 1010
#define IDC_READER_LABEL 1011
#define IDC_DETAILS_LABEL 1012

#endif
