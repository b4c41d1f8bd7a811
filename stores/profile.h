// Profile (INI) files written through the platform's profile functions.
#pragma once

#include <windows.h>

// Before the first write into a missing or empty profile file: create it as
// an empty UTF-16LE file with its byte-order mark, so that the profile
// functions keep writing Unicode instead of the ANSI code page. Existing
// files keep the encoding they have.
void PrepareUnicodeProfile(PCWSTR path);

// True for a file without a byte-order mark that has a NUL byte in its first
// line: UTF-16 text that the profile functions take for ANSI text, so that
// they read no value from it and rewrite it as ANSI at the first write.
bool IsUtf16WithoutBom(LPCWSTR path);

// How the profile functions would treat a file's bytes.
enum ProfileEncoding {
    ProfileAbsent,      // no file, or an empty one: the first write makes it Unicode
    ProfileAnsi,        // ANSI text that converts to Unicode and back exactly
    ProfileAnsiLossy,   // ANSI bytes that do not convert back exactly (or too many to check)
    ProfileUnicode,     // begins with a byte-order mark
    ProfileUtf16NoBom,  // see IsUtf16WithoutBom
    ProfileUnreadable,  // not a file that can be opened for reading (a directory, say)
};
ProfileEncoding ExamineProfile(PCWSTR path);

// Whether a write through the profile functions keeps every byte of the
// file that it does not change: false for UTF-16 without byte-order mark
// and for ANSI bytes that would not be written back as they were.
bool CanWriteProfileSafely(PCWSTR path);

// Whether the ANSI code page holds the text: it converts to the code page
// and back unchanged. Null and empty texts fit.
bool FitsAnsiCodePage(PCWSTR text);

// Rewrites an ANSI profile file as UTF-16LE with its byte-order mark,
// keeping every line, comment and section, when its bytes convert back
// exactly; true when the file is then Unicode (also when it already was).
bool ConvertProfileToUnicode(PCWSTR path);

// Puts a UTF-16LE byte-order mark before the bytes of a file that is UTF-16
// without one (IsUtf16WithoutBom), so that the profile functions read it as
// the Unicode it is; its attributes stay. True when the file then has its
// mark (also when it already had one).
bool AddUtf16ByteOrderMark(PCWSTR path);

// Writes one key through WritePrivateProfileStringW: an empty (or null)
// value deletes the key; any other value is written after the file has been
// prepared as above. An ANSI file is first converted to Unicode when the
// section, key or value does not fit its code page. Nothing is written into
// a file that CanWriteProfileSafely refuses, nor (for a deletion) under a
// name that an ANSI file cannot hold. Returns whether the write was passed on.
bool WriteProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR value);

// GetPrivateProfileStringW read with room for one more character than the
// buffer holds (capacity at most kMaxProfileRead): the buffer gets at most
// capacity - 1 characters as before, and the result says whether the value
// (or the default) fit whole.
const DWORD kMaxProfileRead = 1024;
bool ReadProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity);

// White space as the profile format trims it around section names, keys and
// values.
inline bool IsProfileSpace(WCHAR c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}
