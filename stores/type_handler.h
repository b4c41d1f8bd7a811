// A file type's icon handler and InfoTip handler entries below
// HKEY_CLASSES_ROOT: whether DocDress, another handler or nothing serves a
// type, switching DocDress in and out, and the type's own default icon.
#pragma once

#include <windows.h>

// State of one handler entry of a file type.
enum HandlerState {
    NoProgId = 0,        // the extension's ProgID cannot be read
    NotRegistered = 1,   // the type names no handler of this kind
    RegisteredHere = 2,  // the type names exactly the CLSID asked about
    Unavailable = 3,     // no extension, or another program's handler
};

// Names of the handler keys below {progid}\shellex.
extern const WCHAR kInfoTipHandlerKey[];  // the interface id of IQueryInfo
extern const WCHAR kIconHandlerKey[];     // "IconHandler"

// The extension of a file path: from the last "." of its file name to the
// end, the "." included. Null when the file name holds no "." (a "." in a
// folder name does not count).
PCWSTR GetFileExtension(PCWSTR path);

// Which handler of this kind the type of `extension` names (extension may
// be null: no extension).
HandlerState QueryTypeHandler(PCWSTR extension, PCWSTR handlerKeyName, PCWSTR clsidString);

// With a value, registers it as the type's handler of this kind; without one
// (null or empty) removes the type's handler key of this kind. A missing
// extension key is created with the ProgID "<ext>file". E_FAIL, with
// nothing written, when the extension key cannot be opened or created, or
// when it names no ProgID whose key can be written.
HRESULT SetTypeHandler(PCWSTR extension, PCWSTR handlerKeyName, PCWSTR value);

// Switches off, for every file type that an extension key names, each
// handler entry whose value is exactly clsidString, as the file page's
// switch does; handlers of other classes stay. Failures are silent.
void SwitchOffTypeHandlers(PCWSTR clsidString);

// Whether the current user may change the extension's key (HKEY_CLASSES_ROOT
// itself for no extension).
bool CanWriteTypeKey(PCWSTR extension);

// The type's "DefaultIcon" for a file: location (at most capacity - 1
// characters) and index. Of the value's inserts only "%1" is replaced, by
// the file's path; every other insert stays as it stands. E_FAIL, with the
// outputs untouched, when there is no usable default icon.
HRESULT GetTypeDefaultIcon(PCWSTR filePath, PWSTR location, UINT capacity, int* index);
