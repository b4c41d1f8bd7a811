// An item's Properties dialog opened by Wine's own shell, as Explorer's
// "Properties" command opens it: the item's context menu from its parent
// folder, verb "properties". The dialog is modal, so a second thread finds
// it and drives it. Used by the tests and by show_properties (scripts/demo),
// which does not link the test host.
#pragma once

#include <windows.h>

#include <string>

// Invokes "properties" on the item; the result of InvokeCommand, which
// returns once the dialog has closed.
HRESULT InvokeShellProperties(const std::wstring& path);

// Waits up to timeoutMs for a visible property sheet of this process whose
// title contains `title`; null when none appeared. Once found, waits 300 ms
// more for the sheet to finish its first page.
HWND WaitForPropertiesDialog(const std::wstring& title, DWORD timeoutMs);

// Selects the tab with the caption and returns its page, once Wine has had
// 300 ms to paint it; null when the sheet has no such tab. `captions`, when
// given, receives every caption seen, as "[General][Customize]".
HWND SelectSheetTab(HWND sheet, const std::wstring& caption, std::wstring* captions = nullptr);
