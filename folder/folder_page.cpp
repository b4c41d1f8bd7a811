#include "folder_pages.h"

#include "chrome.h"
#include "extension.h"
#include "help_ids.h"
#include "resource.h"

namespace {

const PageChrome FolderPageChrome = {IDB_BANNER, FolderPageHelpIds, kDirDressTopicFile};

}  // namespace

INT_PTR CALLBACK FolderPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    GetPageContext(dialog, message, lParam);
    HandleChromeMessage(dialog, message, wParam, lParam, FolderPageChrome);
    return FALSE;
}
