// The tests' side of the HTML Help double (htmlhelp_double.cpp): Wine's
// HtmlHelpW does not carry out HH_TP_HELP_WM_HELP, so the double is
// registered where the deliverables look for the HTML Help library and
// records every call, and the tests read its log.
#pragma once

#include <windows.h>

#include <string>

#include "htmlhelp_double.h"

// The registry value through which the deliverables find the library.
extern const wchar_t kHtmlHelpServerKey[];

// Points the registration at a library (the double beside the test unless
// given) for the life of the object; the previous value, its type, or the
// key's absence come back afterwards.
class HelpDoubleRegistration {
public:
    explicit HelpDoubleRegistration(const std::wstring& library = std::wstring(), DWORD type = REG_SZ);
    ~HelpDoubleRegistration();
    HelpDoubleRegistration(const HelpDoubleRegistration&) = delete;
    HelpDoubleRegistration& operator=(const HelpDoubleRegistration&) = delete;

private:
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = REG_SZ;
    std::wstring saved_;
};

// Keeps the double registered for the whole run of the program: a
// deliverable binds the library at its first help request and keeps it.
void RegisterHelpDoubleForTheRun();

// The double's log, shared by every module of the process that loads it;
// null when the double is not beside the test.
HelpCallLog* HelpDoubleLog();

// WM_HELP for one control of a dialog, as F1 sends it.
void SendHelp(HWND dialog, int controlId);

// One recorded call compared with what a dialog must pass: its control as
// the caller, the help file with its topic part, HH_TP_HELP_WM_HELP and the
// dialog's whole table.
void ExpectHelpCall(const RecordedHelpCall& call, HWND caller, const std::wstring& file, const DWORD* table);
