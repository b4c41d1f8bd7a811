// DocDress resource ids. Bitmap and dialogs 101-103; controls 1001-1024.
#pragma once

#include "layout.h"

#define IDB_BANNER           101
#define IDD_FILE_PAGE        102
#define IDD_STRING_PICKER    103

// File page (102).
#define IDC_CHANGE_ICON      1001
#define IDC_DEFAULT_ICON     1002
#define IDC_TYPE_ICON        1005
#define IDC_INFOTIP_TEXT     1009
#define IDC_ICON_TEXT        1010
#define IDC_ENABLE_INFOTIPS  1011
#define IDC_ENABLE_ICONS     1012
#define IDC_TYPE_GROUP       1013
#define IDC_INFOTIP_GROUP    1014
#define IDC_ICON_GROUP       1015
#define IDC_ICON_PREVIEW     1016
#define IDC_SWITCH_TEXT      1017
#define IDC_LABEL_EDIT       1019
#define IDC_CHANGE_LABEL     1020
#define IDC_ADMIN_NOTICE     1021
#define IDC_INFOTIP_RESOURCE 1022
#define IDC_INFOTIP_EDIT     1023
#define IDC_CHANGE_INFOTIP   1024

#include "picker_ids.h"
