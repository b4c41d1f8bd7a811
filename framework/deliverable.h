// What each deliverable supplies to the shared framework: its constants and
// the choice of its page. Defined once per deliverable (folder/, file/, drive/).
#pragma once

#include <windows.h>

#include "page_context.h"

struct Deliverable {
    const CLSID* clsid;
    PCWSTR clsidString;      // the same GUID as a registry key name, with braces
    PCWSTR displayName;      // default value of the CLSID key
    PCWSTR handlerListKey;   // below HKEY_CLASSES_ROOT, opened (never created)
    bool trimTrailingBackslash;   // Initialize turns "C:\" into "C:"
    HRESULT pageCreationFailure;  // AddPages result when no page can be created
    // Unregistration: removes the settings outside the class's own keys that
    // name the class (given as its string form); null when there are none.
    void (*dropClassReferences)(PCWSTR clsidString);
};

extern const Deliverable ThisDeliverable;

struct PageChoice {
    WORD templateId;
    DLGPROC dialogProc;
};

// Picks the template and dialog procedure for an initialized object; returns
// false when the item gets no page at all.
bool ChoosePage(const PageContext& context, PageChoice* choice);
