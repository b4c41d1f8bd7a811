#include "item_apply.h"

#include <shlobj.h>

#include "clsids.h"
#include "desktop_ini.h"
#include "drive_store.h"
#include "file_store.h"
#include "type_handler.h"

namespace {

const WCHAR kInfoTipKey[] = L"InfoTip";
const WCHAR kFolderLabelKey[] = L"LocalizedResourceName";

bool ApplySwitch(PCWSTR extension, PCWSTR handlerKeyName, TypeSwitch state)
{
    if (state == SwitchUntouched)
        return true;
    return SUCCEEDED(SetTypeHandler(extension, handlerKeyName, state == SwitchOn ? DOCDRESS_CLSID_STRING : nullptr));
}

// Makes the shell show a file's change: its image in the system image list,
// the file in the views that show it (renamed to itself, and updated, on
// which today's Explorer refreshes its icon), and the type registrations.
void RefreshFile(PCWSTR filePath, PCWSTR iconFile, int iconIndex)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(filePath, 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
    SHUpdateImageW(iconFile ? iconFile : L"", iconIndex, GIL_DONTCACHE, info.iIcon);
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW | SHCNF_FLUSH, filePath, filePath);
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, filePath, nullptr);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
}

}  // namespace

bool ApplyFolderSettings(PCWSTR folderPath, const FolderEdit& edit)
{
    WCHAR settingsPath[MAX_PATH];
    if (!GetDesktopIniPath(folderPath, settingsPath))
        return false;
    DWORD savedAttributes = BeginDesktopIniUpdate(settingsPath);
    if (edit.icon != IconUntouched && edit.iconFile)
        WriteFolderIcon(settingsPath, folderPath, edit.iconFile, edit.iconIndex, edit.icon == IconChanged);
    if (edit.infoTip)
        WriteFolderSetting(settingsPath, kInfoTipKey, edit.infoTip);
    if (edit.label)
        WriteFolderSetting(settingsPath, kFolderLabelKey, edit.label);
    EndDesktopIniUpdate(settingsPath, savedAttributes, folderPath);
    return true;
}

bool ApplyFileSettings(PCWSTR filePath, const FileEdit& edit)
{
    if (!IsFullFilePath(filePath))
        return false;
    PCWSTR extension = GetFileExtension(filePath);
    ApplySwitch(extension, kInfoTipHandlerKey, edit.infoTips);
    ApplySwitch(extension, kIconHandlerKey, edit.icons);

    bool entries = edit.icon != IconUntouched || edit.infoTip || edit.label;
    WCHAR settingsPath[MAX_PATH];
    if (entries && CanHoldFileEntries(filePath) && GetFileSettingsPath(filePath, settingsPath)) {
        DWORD savedAttributes = BeginDesktopIniUpdate(settingsPath);
        if (edit.icon != IconUntouched && edit.iconFile)
            WriteFileIcon(filePath, edit.iconFile, edit.iconIndex, edit.icon == IconChanged);
        if (edit.infoTip)
            WriteFileSetting(filePath, kInfoTipKey, edit.infoTip);
        if (edit.label)
            WriteFileLabel(filePath, edit.label);
        EndFileSettingsUpdate(settingsPath, savedAttributes);
    }
    RefreshFile(filePath, edit.iconFile, edit.iconIndex);
    return true;
}

bool ApplyTypeSwitches(PCWSTR extension, TypeSwitch icons, TypeSwitch infoTips)
{
    bool infoTipsSwitched = ApplySwitch(extension, kInfoTipHandlerKey, infoTips);
    bool iconsSwitched = ApplySwitch(extension, kIconHandlerKey, icons);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
    return infoTipsSwitched && iconsSwitched;
}

bool ApplyDriveSettings(PCWSTR rootPath, const DriveEdit& edit)
{
    if (!IsDriveRoot(rootPath))
        return false;
    WriteDriveSettings(rootPath, edit.driveLabel, edit.driveIconFile, edit.driveIconIndex, edit.driveIconPresent);
    WriteDiskSettings(rootPath, edit.diskLabel, edit.diskIconFile, edit.diskIconIndex, edit.diskIconPresent);
    return true;
}
