// Indirect strings ("@module,-id"): a text that names a string in a module's
// string table. Modules are only ever mapped as resource data, and the
// string table is read through the resource functions, so resolving needs
// nothing beyond the kernel.
#pragma once

#include <windows.h>

// An indirect string taken apart.
struct IndirectParts {
    WCHAR modulePath[MAX_PATH];
    UINT identifier;
    bool hasIdentifier;   // the number names a 16-bit string identifier
};

// "@path,-id": the first character is dropped without looking at it, the
// rest is split at its last ','; the text before it is the module path and
// the negated number after it the identifier (0 without a ','). False when
// the text is empty or its module path does not fit MAX_PATH (a cut path
// would name another file).
bool SplitIndirectString(PCWSTR indirect, size_t maxLength, IndirectParts* parts);

// Expands %variables% of a module path (MAX_PATH); false when the result
// does not fit.
bool ExpandModulePath(PCWSTR path, PWSTR expanded);

// Loads a module only to read its resources; null when it cannot be had.
typedef HMODULE (*StringModuleLoader)(PCWSTR path);

// Loads a module as an image resource data file (a plain data file on
// systems that refuse that flag): none of its code ever runs.
HMODULE LoadStringModuleAsData(PCWSTR path);

// String `identifier` of the module's string table into text (capacity
// characters, a longer string cut); false, with the empty text, when the
// table has no such string or it is empty.
bool ReadModuleString(HMODULE module, UINT identifier, PWSTR text, size_t capacity);

// Writes the text an indirect string names into text (MAX_PATH characters),
// the module loaded through `load`; false, with the empty text, when the
// module or the string cannot be had.
bool ResolveIndirectString(PCWSTR indirect, PWSTR text, StringModuleLoader load);
