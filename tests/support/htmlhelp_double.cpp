// The HTML Help double: ordinal 15 records its arguments. A second export,
// named "HtmlHelpW" under another ordinal, counts calls that found the
// function by name instead of by ordinal.
#include "htmlhelp_double.h"

#include <cwchar>

namespace {

HelpCallLog Log;

}  // namespace

extern "C" HelpCallLog* __cdecl HelpDoubleLog()
{
    return &Log;
}

extern "C" HWND WINAPI RecordHtmlHelp(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data)
{
    LONG index = InterlockedIncrement(&Log.calls) - 1;
    if (index < 0 || static_cast<size_t>(index) >= kRecordedHelpCalls)
        return nullptr;
    RecordedHelpCall& call = Log.call[index];
    call.caller = caller;
    call.file[0] = L'\0';
    if (file)
        wcsncpy(call.file, file, ARRAYSIZE(call.file) - 1);
    call.command = command;
    call.data = data;
    call.pairCount = 0;
    const DWORD* pairs = reinterpret_cast<const DWORD*>(data);
    if (pairs) {
        for (size_t i = 0; i < kRecordedHelpPairs; ++i) {
            call.pairs[2 * i] = pairs[2 * i];
            call.pairs[2 * i + 1] = pairs[2 * i + 1];
            call.pairCount = i + 1;
            if (pairs[2 * i] == 0)
                break;
        }
    }
    return nullptr;
}

extern "C" HWND WINAPI NamedHtmlHelp(HWND, LPCWSTR, UINT, DWORD_PTR)
{
    InterlockedIncrement(&Log.callsByName);
    return nullptr;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
