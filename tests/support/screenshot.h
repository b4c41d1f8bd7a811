// Pictures of windows, for people to look at after a run.
#pragma once

#include <windows.h>

#include <string>

// Saves a picture of the window as <artifacts>\<name>.bmp when the
// DRESS_ARTIFACTS environment variable names a folder.
void SaveScreenshot(HWND window, const std::wstring& name);

// Saves what the screen shows of the window as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::wstring& file);

// The path as Windows sees it for a Unix path ("/tmp/x" -> "Z:\tmp\x").
std::wstring WindowsPath(const std::wstring& path);
