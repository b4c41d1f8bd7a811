// The drive page: template 101 "Customize".
#pragma once

#include <windows.h>

INT_PTR CALLBACK DrivePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
