// VolDress resource ids. Dialog 101 and banner 104; controls 1000-1009.
#pragma once

#include "layout.h"

#define IDD_DRIVE_PAGE          101
#define IDB_BANNER              104

// Drive page (101): the drive letter's label and icon, then the disk's.
#define IDC_DRIVE_LABEL         1000
#define IDC_CHANGE_DRIVE_ICON   1001
#define IDC_DRIVE_ICON_PREVIEW  1002
#define IDC_DEFAULT_DRIVE_ICON  1004
#define IDC_CHANGE_DISK_ICON    1005
#define IDC_DEFAULT_DISK_ICON   1006
#define IDC_DISK_ICON_PREVIEW   1007
#define IDC_DISK_LABEL          1009
