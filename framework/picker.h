// Indirect strings ("@module,-id") and the "Change string" dialog that picks
// one from any module's string table.
#pragma once

#include <windows.h>

#include "indirect_string.h"

// Runs dialog 103 modally over owner. Returns 1 when the user chose a string
// (text holds "@path,-id") or pressed "Default" (text is empty), 0 when the
// dialog was cancelled (text unchanged), -1 when it could not be shown.
INT_PTR PickStringResource(HWND owner, PWSTR text, size_t capacity);

// Refills the list with the string table of the module; false when the module
// could not be loaded (the list is then empty).
BOOL FillStringList(HWND list, PCWSTR modulePath);

// EnumResourceNamesW callback that lists one RT_STRING block.
BOOL CALLBACK AddStringBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR list);

// Index of the first list item whose data is identifier, or -1.
int FindStringItem(HWND list, UINT identifier);

// Writes the text an indirect string names into text (MAX_PATH characters),
// the module loaded inside the deliverable's activation context; the empty
// text when the module or the string cannot be had.
void ResolveIndirectString(PCWSTR indirect, PWSTR text);

// Resolves an indirect string and shows the result as the control's text.
void ShowIndirectString(HWND control, PCWSTR indirect);
