// The "Change string" dialog (103) and its controls, the same in every
// deliverable that carries it.
#pragma once

#define IDD_STRING_PICKER    103

#define IDC_PICKER_FILE      1000
#define IDC_PICKER_BROWSE    1001
#define IDC_PICKER_LIST      1002
#define IDC_PICKER_DEFAULT   1006
