// Import patches undone at the end of a scope, for the folder tests that watch
// the calls a module makes (and answer the ones Wine cannot).
#pragma once

#include <windows.h>

#include "host.h"

class ImportPatch {
public:
    // By name; the previous target stays reachable through Original().
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement)
        : module_(module), dll_(dll), function_(function), ordinal_(0)
    {
        original_ = PatchImport(module, dll, function, replacement);
    }
    // By ordinal (shell32 62 is PickIconDlg).
    ImportPatch(HMODULE module, const char* dll, WORD ordinal, void* replacement)
        : module_(module), dll_(dll), function_(nullptr), ordinal_(ordinal)
    {
        original_ = PatchImportOrdinal(module, dll, ordinal, replacement);
    }
    ~ImportPatch()
    {
        if (!original_)
            return;
        if (function_)
            PatchImport(module_, dll_, function_, original_);
        else
            PatchImportOrdinal(module_, dll_, ordinal_, original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Installed() const { return original_ != nullptr; }
    template <typename F>
    F Original() const
    {
        return reinterpret_cast<F>(original_);
    }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    WORD ordinal_;
    void* original_;
};
