// The icon chooser flow shared by the folder, file and drive pages, each on
// its own buffers and preview control. iconFile is a working icon path of
// MAX_PATH characters; *preview is an icon owned by the page (or null).
#pragma once

#include <windows.h>

// Replaces *preview with the icon at (iconFile, iconIndex), or none for an
// empty path or a file without that icon, and shows it in control previewId.
void UpdateIconPreview(HWND page, PCWSTR iconFile, int iconIndex, HICON* preview, int previewId);

// The shell's icon picker seeded with the current icon; on acceptance the
// choice becomes the icon. Returns whether the user accepted.
bool PickIcon(HWND page, PWSTR iconFile, int* iconIndex);

// "Change Icon...": the shell's icon picker seeded with the current icon.
// On acceptance takes the choice over, refreshes the preview and marks the
// page changed; returns whether the user accepted.
bool ChooseIcon(HWND page, PWSTR iconFile, int* iconIndex, HICON* preview, int previewId);

// "Default Icon": no icon file, index 0, no preview; marks the page changed.
void ResetIcon(HWND page, PWSTR iconFile, int* iconIndex, HICON* preview, int previewId);
