// What the tests know of each deliverable from the outside.
#pragma once

#include <windows.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "clsids.h"

struct DeliverableInfo {
    const wchar_t* dll;
    const CLSID* clsid;
    const wchar_t* clsidString;
    const wchar_t* displayName;
    const wchar_t* handlerList;
    bool fileHandlers;  // also serves IPersistFile, IQueryInfo, IExtractIconW
};

inline const DeliverableInfo kDirDress = {L"DirDress.dll", &CLSID_DirDress, DIRDRESS_CLSID_STRING,
                                          L"Quillon DirDress", L"Folder\\shellex\\PropertySheetHandlers",
                                          false};
inline const DeliverableInfo kDocDress = {L"DocDress.dll", &CLSID_DocDress, DOCDRESS_CLSID_STRING,
                                          L"Quillon DocDress", L"*\\shellex\\PropertySheetHandlers", true};
inline const DeliverableInfo kVolDress = {L"VolDress.dll", &CLSID_VolDress, VOLDRESS_CLSID_STRING,
                                          L"Quillon VolDress", L"Drive\\shellex\\PropertySheetHandlers",
                                          false};
