// DirDress: the "Customize Ex" tab of a folder's Properties dialog.
#include <windows.h>
#include <shlobj.h>
#include <strsafe.h>

#include "clsids.h"
#include "deliverable.h"
#include "folder_pages.h"
#include "resource.h"

const Deliverable ThisDeliverable = {
    &CLSID_DirDress,
    DIRDRESS_CLSID_STRING,
    L"Quillon DirDress",
    L"Folder\\shellex\\PropertySheetHandlers",
    true,
    E_OUTOFMEMORY,
    nullptr,
};

namespace {

// True when folderPath lies in the user's Network Shortcuts folder (or is
// that folder). Without a Network Shortcuts path nothing lies in it: an empty
// prefix would otherwise match every folder.
bool IsInNetworkShortcuts(PCWSTR folderPath)
{
    WCHAR netHood[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, netHood, CSIDL_NETHOOD, FALSE))
        return false;
    size_t length = 0;
    if (FAILED(StringCchLengthW(netHood, ARRAYSIZE(netHood), &length)) || length == 0)
        return false;
    return wcsncmp(folderPath, netHood, length) == 0;
}

}  // namespace

bool ChoosePage(const FolderPageContext& context, PageChoice* choice)
{
    // Drive roots ("C:") and an empty selection get no page; drives belong
    // to VolDress.
    size_t length = 0;
    if (FAILED(StringCchLengthW(context.itemPath, MAX_PATH, &length)) || length < 3)
        return false;
    if (IsInNetworkShortcuts(context.itemPath)) {
        choice->templateId = IDD_REDIRECTED_PAGE;
        choice->dialogProc = RedirectedPageProc;
    } else {
        choice->templateId = IDD_FOLDER_PAGE;
        choice->dialogProc = FolderPageProc;
    }
    return true;
}
