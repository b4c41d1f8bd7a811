// A stand-in for the HTML Help control library, registered where the
// deliverables look for it. Wine's HtmlHelpW does not carry out
// HH_TP_HELP_WM_HELP, so the tests read what the deliverable asked for here.
#pragma once

#include <windows.h>

const size_t kRecordedHelpCalls = 16;
const size_t kRecordedHelpPairs = 64;

struct RecordedHelpCall {
    HWND caller;
    WCHAR file[1024];
    UINT command;
    DWORD_PTR data;
    // The table as it was at the call: pairs up to and including the zero
    // pair (at most kRecordedHelpPairs).
    DWORD pairs[2 * kRecordedHelpPairs];
    size_t pairCount;
};

struct HelpCallLog {
    LONG calls;          // through the export with ordinal 15
    LONG callsByName;    // through the export named "HtmlHelpW" (a wrong binding)
    RecordedHelpCall call[kRecordedHelpCalls];
};

// Exported by name: the log of this process.
typedef HelpCallLog*(__cdecl* HelpDoubleLogFn)();
