#include "profile.h"

#include <strsafe.h>

#include "handle.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// How far the first line is searched for a NUL byte.
const DWORD kFirstLineLimit = 64 * 1024;

// Larger files are neither checked nor converted: settings files are a few
// hundred bytes, and the conversion holds the file twice in memory.
const DWORD kMaxExaminedBytes = 16 * 1024 * 1024;

// UTF-16LE, UTF-16BE and UTF-8 marks: the profile functions read such a file
// as Unicode and keep writing it so.
bool HasByteOrderMark(const BYTE* bytes, DWORD size)
{
    if (size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF)))
        return true;
    return size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

// From the start of an open file: whether a NUL byte comes before the first
// line feed (or the end of the file).
bool FirstLineHasNul(HANDLE file)
{
    BYTE chunk[4096];
    bool first = true;
    for (DWORD total = 0; total < kFirstLineLimit;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk, sizeof(chunk), &read, nullptr) || read == 0)
            return false;
        if (first && HasByteOrderMark(chunk, read))
            return false;
        first = false;
        for (DWORD i = 0; i < read; ++i) {
            if (chunk[i] == 0)
                return true;
            // A first line that is a bare line feed: in UTF-16LE its high
            // byte follows it.
            if (chunk[i] == '\n')
                return i + 1 < read && chunk[i + 1] == 0;
        }
        total += read;
    }
    return false;
}

bool IsAscii(const BYTE* bytes, DWORD size)
{
    for (DWORD i = 0; i < size; ++i) {
        if (bytes[i] >= 0x80)
            return false;
    }
    return true;
}

// The ANSI bytes as UTF-16 text (CoTaskMem, `length` characters), when
// converting that text back gives exactly the same bytes.
bool DecodeAnsiExactly(const BYTE* bytes, DWORD size, AutoCoTaskMem* text, int* length)
{
    *length = 0;
    const char* ansi = reinterpret_cast<const char*>(bytes);
    int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(size), nullptr, 0);
    if (wideLength <= 0)
        return false;
    AutoCoTaskMem wide(CoTaskMemAlloc(static_cast<SIZE_T>(wideLength) * sizeof(WCHAR)));
    if (!wide)
        return false;
    PWSTR wideText = static_cast<PWSTR>(wide.Get());
    if (MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(size), wideText, wideLength) != wideLength)
        return false;
    int backLength = WideCharToMultiByte(CP_ACP, 0, wideText, wideLength, nullptr, 0, nullptr, nullptr);
    if (backLength != static_cast<int>(size))
        return false;
    AutoCoTaskMem back(CoTaskMemAlloc(static_cast<SIZE_T>(backLength)));
    if (!back)
        return false;
    if (WideCharToMultiByte(CP_ACP, 0, wideText, wideLength, static_cast<char*>(back.Get()), backLength, nullptr,
                            nullptr) != backLength ||
        memcmp(back.Get(), bytes, size) != 0)
        return false;
    *text = static_cast<AutoCoTaskMem&&>(wide);
    *length = wideLength;
    return true;
}

// The whole content of an open file (CoTaskMem), read from its start; false
// when it cannot be read or is larger than kMaxExaminedBytes.
bool ReadWholeFile(HANDLE file, AutoCoTaskMem* bytes, DWORD* size)
{
    *size = 0;
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file, &fileSize) || fileSize.QuadPart > kMaxExaminedBytes)
        return false;
    DWORD wanted = static_cast<DWORD>(fileSize.QuadPart);
    AutoCoTaskMem buffer(CoTaskMemAlloc(wanted ? wanted : 1));
    if (!buffer)
        return false;
    LARGE_INTEGER start = {};
    DWORD read = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
        !ReadFile(file, buffer.Get(), wanted, &read, nullptr) || read != wanted)
        return false;
    *bytes = static_cast<AutoCoTaskMem&&>(buffer);
    *size = wanted;
    return true;
}

bool WriteAll(HANDLE file, const void* bytes, DWORD size)
{
    LARGE_INTEGER start = {};
    DWORD written = 0;
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteFile(file, bytes, size, &written, nullptr) &&
           written == size && SetEndOfFile(file);
}

}  // namespace

void PrepareUnicodeProfile(PCWSTR path)
{
    AutoFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart != 0)
        return;
    static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file.Get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr);
}

bool IsUtf16WithoutBom(LPCWSTR path)
{
    if (!path || !path[0])
        return false;
    AutoFile file(CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FirstLineHasNul(file.Get());
}

ProfileEncoding ExamineProfile(PCWSTR path)
{
    if (!path || !path[0])
        return ProfileUnreadable;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ProfileAbsent;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ProfileUnreadable;
    AutoFile file(CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ProfileUnreadable;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        return ProfileUnreadable;
    if (size.QuadPart == 0)
        return ProfileAbsent;

    BYTE head[3] = {};
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, sizeof(head), &read, nullptr))
        return ProfileUnreadable;
    if (HasByteOrderMark(head, read))
        return ProfileUnicode;
    LARGE_INTEGER start = {};
    SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN);
    if (FirstLineHasNul(file.Get()))
        return ProfileUtf16NoBom;

    AutoCoTaskMem bytes;
    DWORD byteCount = 0;
    if (!ReadWholeFile(file.Get(), &bytes, &byteCount))
        return ProfileAnsiLossy;
    const BYTE* data = static_cast<const BYTE*>(bytes.Get());
    if (IsAscii(data, byteCount))
        return ProfileAnsi;
    AutoCoTaskMem text;
    int length = 0;
    return DecodeAnsiExactly(data, byteCount, &text, &length) ? ProfileAnsi : ProfileAnsiLossy;
}

bool CanWriteProfileSafely(PCWSTR path)
{
    ProfileEncoding encoding = ExamineProfile(path);
    return encoding != ProfileUtf16NoBom && encoding != ProfileAnsiLossy;
}

bool FitsAnsiCodePage(PCWSTR text)
{
    if (!text)
        return true;
    int length = 0;
    bool ascii = true;
    for (; text[length]; ++length) {
        if (text[length] >= 0x80)
            ascii = false;
    }
    if (ascii)
        return true;
    int ansiLength = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0)
        return false;
    AutoCoTaskMem ansi(CoTaskMemAlloc(static_cast<SIZE_T>(ansiLength)));
    if (!ansi)
        return false;
    char* ansiText = static_cast<char*>(ansi.Get());
    if (WideCharToMultiByte(CP_ACP, 0, text, length, ansiText, ansiLength, nullptr, nullptr) != ansiLength)
        return false;
    // Best-fit mappings and the default character do not come back as the
    // character they replaced.
    int backLength = MultiByteToWideChar(CP_ACP, 0, ansiText, ansiLength, nullptr, 0);
    if (backLength != length)
        return false;
    AutoCoTaskMem back(CoTaskMemAlloc(static_cast<SIZE_T>(backLength) * sizeof(WCHAR)));
    if (!back)
        return false;
    PWSTR backText = static_cast<PWSTR>(back.Get());
    return MultiByteToWideChar(CP_ACP, 0, ansiText, ansiLength, backText, backLength) == backLength &&
           memcmp(backText, text, static_cast<size_t>(length) * sizeof(WCHAR)) == 0;
}

bool ConvertProfileToUnicode(PCWSTR path)
{
    // No other writer while the file is rewritten; readers may go on.
    AutoFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    AutoCoTaskMem bytes;
    DWORD size = 0;
    if (!ReadWholeFile(file.Get(), &bytes, &size))
        return false;
    const BYTE* data = static_cast<const BYTE*>(bytes.Get());
    if (HasByteOrderMark(data, size))
        return true;
    static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
    if (size == 0)
        return WriteAll(file.Get(), kByteOrderMark, sizeof(kByteOrderMark));
    // UTF-16 without its mark is no ANSI text: converting it would garble it.
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) || FirstLineHasNul(file.Get()))
        return false;

    AutoCoTaskMem text;
    int length = 0;
    if (!DecodeAnsiExactly(data, size, &text, &length))
        return false;
    DWORD unicodeSize = sizeof(kByteOrderMark) + static_cast<DWORD>(length) * sizeof(WCHAR);
    AutoCoTaskMem unicode(CoTaskMemAlloc(unicodeSize));
    if (!unicode)
        return false;
    BYTE* out = static_cast<BYTE*>(unicode.Get());
    memcpy(out, kByteOrderMark, sizeof(kByteOrderMark));
    memcpy(out + sizeof(kByteOrderMark), text.Get(), static_cast<size_t>(length) * sizeof(WCHAR));
    if (!WriteAll(file.Get(), out, unicodeSize)) {
        // Put the old bytes back rather than leave half a conversion.
        WriteAll(file.Get(), data, size);
        return false;
    }
    file.Reset();
    // The profile functions may hold the ANSI form parsed, and the file's
    // time may not have moved on since they read it: drop that copy, so the
    // next call reads the Unicode file.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);
    return true;
}

bool AddUtf16ByteOrderMark(PCWSTR path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Hidden and system files open for writing as they are; a read-only one
    // gets its bit back afterwards.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    bool marked = false;
    {
        AutoFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        AutoCoTaskMem bytes;
        DWORD size = 0;
        if (file && ReadWholeFile(file.Get(), &bytes, &size)) {
            const BYTE* data = static_cast<const BYTE*>(bytes.Get());
            static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
            AutoCoTaskMem out(CoTaskMemAlloc(sizeof(kByteOrderMark) + size));
            if (HasByteOrderMark(data, size)) {
                marked = true;
            } else if (out) {
                BYTE* outBytes = static_cast<BYTE*>(out.Get());
                memcpy(outBytes, kByteOrderMark, sizeof(kByteOrderMark));
                memcpy(outBytes + sizeof(kByteOrderMark), data, size);
                marked = WriteAll(file.Get(), outBytes, sizeof(kByteOrderMark) + size);
                if (!marked)
                    WriteAll(file.Get(), data, size);
            }
        }
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes);
    // The profile functions may hold the file parsed as ANSI.
    if (marked)
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, path);
    return marked;
}

bool WriteProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR value)
{
    ProfileEncoding encoding = ExamineProfile(path);
    // Either would be rewritten with bytes lost.
    if (encoding == ProfileUtf16NoBom || encoding == ProfileAnsiLossy)
        return false;
    if (!value || !value[0]) {
        // A name the code page cannot hold cannot be in an ANSI file; the
        // profile functions might delete what its "?" form names instead.
        if (encoding == ProfileAnsi && !(FitsAnsiCodePage(section) && FitsAnsiCodePage(key)))
            return false;
        return WritePrivateProfileStringW(section, key, nullptr, path) != FALSE;
    }
    if (encoding == ProfileAbsent) {
        // A file that the profile functions create themselves is written in
        // the ANSI code page, which turns every other character into '?'.
        PrepareUnicodeProfile(path);
    } else if (encoding == ProfileAnsi &&
               !(FitsAnsiCodePage(section) && FitsAnsiCodePage(key) && FitsAnsiCodePage(value))) {
        if (!ConvertProfileToUnicode(path))
            return false;
    }
    return WritePrivateProfileStringW(section, key, value, path) != FALSE;
}

bool ReadProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity)
{
    if (capacity == 0)
        return false;
    if (capacity > kMaxProfileRead)
        capacity = kMaxProfileRead;
    WCHAR value[kMaxProfileRead + 1];
    DWORD length = GetPrivateProfileStringW(section, key, defaultValue, value, capacity + 1, path);
    StringCchCopyNW(buffer, capacity, value, capacity - 1);
    return length < capacity;
}
