// Import table patching. Free of the common controls and the shell, so that
// a program that must not load them (actctx_test) can compile it in.
#include <windows.h>

#include <cstring>

#include "host.h"

namespace {

template <typename Match>
void* PatchImportWhere(HMODULE module, const char* dll, const Match& match, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    void* previous = nullptr;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + desc->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (!match(base, names))
                continue;
            DWORD oldProtect = 0;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &oldProtect);
            previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), oldProtect, &oldProtect);
        }
    }
    return previous;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement)
{
    return PatchImportWhere(
        module, dll,
        [function](BYTE* base, IMAGE_THUNK_DATA* thunk) {
            if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal))
                return false;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
            return strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0;
        },
        replacement);
}

void* PatchImportOrdinal(HMODULE module, const char* dll, WORD ordinal, void* replacement)
{
    return PatchImportWhere(
        module, dll,
        [ordinal](BYTE*, IMAGE_THUNK_DATA* thunk) {
            return IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal) && IMAGE_ORDINAL(thunk->u1.Ordinal) == ordinal;
        },
        replacement);
}

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement)
    : module_(module), dll_(dll), function_(function), ordinal_(0)
{
    original_ = PatchImport(module, dll, function, replacement);
}

ImportPatch::ImportPatch(HMODULE module, const char* dll, WORD ordinal, void* replacement)
    : module_(module), dll_(dll), function_(nullptr), ordinal_(ordinal)
{
    original_ = PatchImportOrdinal(module, dll, ordinal, replacement);
}

ImportPatch::~ImportPatch()
{
    if (!original_)
        return;
    if (function_)
        PatchImport(module_, dll_, function_, original_);
    else
        PatchImportOrdinal(module_, dll_, ordinal_, original_);
}

