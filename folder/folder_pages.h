// Dialog procedures of DirDress's two "Customize Ex" pages.
#pragma once

#include <windows.h>

// Template 101: icon, InfoTip and label of an ordinary folder.
INT_PTR CALLBACK FolderPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Template 104: the label of a folder shortcut in the Network Shortcuts
// folder, whose icon and InfoTip come from its "target.lnk".
INT_PTR CALLBACK RedirectedPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
