// DirDress resource ids. Dialogs and bitmaps 101-104; controls 1000-1011.
#pragma once

#include "layout.h"

#define IDD_FOLDER_PAGE      101
#define IDB_BANNER           102
#define IDD_STRING_PICKER    103
#define IDD_REDIRECTED_PAGE  104

// Folder page (101) and redirected-folder page (104).
#define IDC_INFOTIP_EDIT     1000
#define IDC_CHANGE_ICON      1001
#define IDC_ICON_PREVIEW     1002
#define IDC_DEFAULT_ICON     1003
#define IDC_LABEL_EDIT       1004
#define IDC_CHANGE_LABEL     1005
#define IDC_CHANGE_INFOTIP   1007
#define IDC_INFOTIP_RESOURCE 1009
#define IDC_TARGET_PROPERTIES 1011

#include "picker_ids.h"
