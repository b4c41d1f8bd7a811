// Text out of the program: Unicode on a console (WriteConsoleW), UTF-8 when
// the output is redirected to a file or a pipe.
#pragma once

#include <windows.h>

#include <string>

// Writes text to standard output or standard error as it stands.
void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);

// printf-style formatting into a text (any length).
std::wstring Format(PCWSTR format, ...);

// The text as a JSON string literal, quotes included.
std::wstring JsonString(PCWSTR text);
