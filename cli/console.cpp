#include "console.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

void WriteTo(DWORD which, const std::wstring& text)
{
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    if (bytes <= 0)
        return;
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

void WriteOut(const std::wstring& text)
{
    WriteTo(STD_OUTPUT_HANDLE, text);
}

void WriteErr(const std::wstring& text)
{
    WriteTo(STD_ERROR_HANDLE, text);
}

std::wstring Format(PCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = _vscwprintf(format, copy);
    va_end(copy);
    std::wstring text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        _vsnwprintf(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

std::wstring JsonString(PCWSTR text)
{
    std::wstring out = L"\"";
    for (PCWSTR c = text ? text : L""; *c; ++c) {
        switch (*c) {
        case L'"':
            out += L"\\\"";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\t':
            out += L"\\t";
            break;
        default:
            if (*c < 0x20)
                out += Format(L"\\u%04x", static_cast<unsigned>(*c));
            else
                out += *c;
        }
    }
    out += L"\"";
    return out;
}
