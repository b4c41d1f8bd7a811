// Profile (INI) files written through the platform's profile functions.
#pragma once

#include <windows.h>

// Before the first write into a missing or empty profile file: create it as
// an empty UTF-16LE file with its byte-order mark, so that the profile
// functions keep writing Unicode instead of the ANSI code page. Existing
// files keep the encoding they have.
void PrepareUnicodeProfile(PCWSTR path);

// Writes one key through WritePrivateProfileStringW: an empty (or null)
// value deletes the key; any other value is written after the file has been
// prepared as above.
void WriteProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR value);

// True for a file written as UTF-16 without a byte-order mark: no mark at
// its start and a NUL byte in its first line (up to and including the first
// line feed, and the byte after it, which is the line feed's high byte in
// UTF-16LE). The profile functions read such a file as ANSI and rewrite it
// as ANSI at the first write, losing everything else in it, so it is to be
// left alone. False for a missing or empty file and for anything that is not
// a file.
bool IsUtf16WithoutBom(LPCWSTR path);

// White space as the profile format trims it around section names, keys and
// values.
inline bool IsProfileSpace(WCHAR c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}
