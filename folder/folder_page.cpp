#include "folder_pages.h"

#include "extension.h"

INT_PTR CALLBACK FolderPageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    GetPageContext(dialog, message, lParam);
    return FALSE;
}
