// DocDress: the "Customize" tab of every file's Properties dialog, and the
// icon and InfoTip handler of the file types that are switched to it.
#include <windows.h>

#include "clsids.h"
#include "deliverable.h"
#include "file_page.h"
#include "resource.h"
#include "type_handler.h"

const Deliverable ThisDeliverable = {
    &CLSID_DocDress,
    DOCDRESS_CLSID_STRING,
    L"Quillon DocDress",
    L"*\\shellex\\PropertySheetHandlers",
    false,
    E_FAIL,
    SwitchOffTypeHandlers,  // the file types switched to the class
};

bool ChoosePage(const FilePageContext&, PageChoice* choice)
{
    // Every file gets the page; one that cannot be customized shows it
    // disabled.
    choice->templateId = IDD_FILE_PAGE;
    choice->dialogProc = FilePageProc;
    return true;
}
