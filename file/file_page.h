// Dialog procedure of DocDress's "Customize" page.
#pragma once

#include <windows.h>

// Template 102: the file type's handler switches and the file's own icon,
// InfoTip and localized label.
INT_PTR CALLBACK FilePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
