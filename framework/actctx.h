// Calls that must run under the deliverable's own manifest (version 6 of the
// common controls). The context is activated just before each call and
// deactivated just after it; result and last-error value are kept.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

// CreatePropertySheetPageW from "Comctl32.dll" loaded inside the context. A
// descriptor of at least PROPSHEETPAGEW_V3 size is given the context itself
// (PSP_USEFUSIONCONTEXT) so the page's controls are created under it too.
HPROPSHEETPAGE CreatePageInContext(PROPSHEETPAGEW* page);
BOOL DestroyPageInContext(HPROPSHEETPAGE page);

INT_PTR DialogBoxInContext(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                           LPARAM initParam);

// GetOpenFileNameW from "Comdlg32.dll" loaded inside the context.
BOOL GetOpenFileNameInContext(OPENFILENAMEW* ofn);

// Loads a module only to read its resources: as an image resource data file,
// inside the context, so that none of its code (DllMain included) ever runs.
HMODULE LoadStringModuleInContext(PCWSTR path);

// The activation context the loader made from the deliverable's manifest, or
// null when the system has none to give.
HANDLE GetModuleActCtx();
