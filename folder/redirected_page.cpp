#include "folder_pages.h"

#include "chrome.h"
#include "extension.h"
#include "help_ids.h"
#include "resource.h"

namespace {

const PageChrome RedirectedPageChrome = {IDB_BANNER, RedirectedPageHelpIds, kDirDressTopicFile};

}  // namespace

INT_PTR CALLBACK RedirectedPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    GetPageContext(dialog, message, lParam);
    HandleChromeMessage(dialog, message, wParam, lParam, RedirectedPageChrome);
    return FALSE;
}
