// Shared by the resource scripts of the three deliverables.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC 65535
#endif

// Every page and the picker: WS_POPUP | WS_CAPTION | WS_SYSMENU |
// DS_MODALFRAME | DS_SETFONT (0x80C800C0).
#define PAGE_STYLE (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)
#define PAGE_FONT 8, "MS Shell Dlg"

#define DRESS_VERSION 1,0,0,0
#define DRESS_VERSION_TEXT "1.0.0.0"
