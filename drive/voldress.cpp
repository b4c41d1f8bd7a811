// VolDress: the "Customize" tab of a drive's Properties dialog.
#include <windows.h>

#include "clsids.h"
#include "deliverable.h"
#include "drive_page.h"
#include "resource.h"

const Deliverable ThisDeliverable = {
    &CLSID_VolDress,
    VOLDRESS_CLSID_STRING,
    L"Quillon VolDress",
    L"Drive\\shellex\\PropertySheetHandlers",
    false,  // the root path keeps its backslash: the settings file name is appended to it
    E_OUTOFMEMORY,
    nullptr,
};

bool ChoosePage(const DrivePageContext&, PageChoice* choice)
{
    // Every drive gets the page; one without a usable root path shows it
    // disabled.
    choice->templateId = IDD_DRIVE_PAGE;
    choice->dialogProc = DrivePageProc;
    return true;
}
