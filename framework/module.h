// Module-wide state of a deliverable: its instance handle and the one count
// that decides when the library may be unloaded.
#pragma once

#include <windows.h>

extern HINSTANCE ModuleInstance;

// Live extension objects + outstanding server locks + existing pages (each
// page's pcRefParent points here). Changed only with interlocked operations.
extern LONG ModuleRefCount;

inline void ModuleAddRef() { InterlockedIncrement(&ModuleRefCount); }
inline void ModuleRelease() { InterlockedDecrement(&ModuleRefCount); }
