// Controls of the "Change string" dialog (103), the same in every
// deliverable that carries it.
#pragma once

#define IDC_PICKER_FILE      1000
#define IDC_PICKER_BROWSE    1001
#define IDC_PICKER_LIST      1002
#define IDC_PICKER_DEFAULT   1006
