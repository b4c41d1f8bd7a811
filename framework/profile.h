// Profile (INI) files written through the platform's profile functions.
#pragma once

#include <windows.h>

// Before the first write into a missing or empty profile file: create it as
// an empty UTF-16LE file with its byte-order mark, so that the profile
// functions keep writing Unicode instead of the ANSI code page. Existing
// files keep the encoding they have.
void PrepareUnicodeProfile(PCWSTR path);
