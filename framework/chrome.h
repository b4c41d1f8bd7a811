// What every page shares around its controls: the product banner painted in
// the lower right corner, and "What's This?" help from QLNHELP.chm.
#pragma once

#include <windows.h>

// Pairs of (control id, help topic id) ended by a pair whose control id is 0;
// kNoHelp marks a control without help. Handed unchanged to HtmlHelpW.
const DWORD kNoHelp = 0xFFFFFFFF;

// The chrome of one dialog: its banner bitmap (0: none), help table and topic
// file inside QLNHELP.chm (such as L"::/DirDress.txt").
struct PageChrome {
    WORD bannerId;
    const DWORD* helpIds;
    PCWSTR topicFile;
};

// Draws the whole bitmap at (x, y); pixels of exactly keyColour leave the
// destination unchanged.
void DrawKeyedBitmap(HDC hdc, HBITMAP bitmap, short x, short y, COLORREF keyColour);

// WM_PAINT of a page: the banner 10 pixels in from the lower right corner.
void PaintPageBanner(HWND dialog, WORD bannerId);

// The help file beside the deliverable with the topic part appended. Returns
// false (and the empty text) when the module path cannot be had whole or the
// result does not fit: a cut path would name another file.
bool BuildHelpPath(PCWSTR topicFile, PWSTR buffer, size_t capacity);
const size_t kHelpPathCapacity = MAX_PATH + 32;

// WM_HELP: a text popup for the control the help info names.
void ShowContextHelp(HWND dialog, const HELPINFO* info, const DWORD* helpIds, PCWSTR topicFile);

// WM_CONTEXTMENU: "What's This?" over a control of the table; choosing it
// sends WM_HELP to the dialog.
void ShowWhatsThisMenu(HWND dialog, LPARAM lParam, const DWORD* helpIds);

// Handles WM_PAINT, WM_HELP and WM_CONTEXTMENU for a page or dialog; returns
// true when the message was one of them.
bool HandleChromeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const PageChrome& chrome);
