// File types made in the test prefix's registry for one test: extensions and
// ProgIDs named after the test process, so that the x86 and x64 runs in one
// prefix do not meet, and removed again when the object goes away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host.h"

class ScratchTypes {
public:
    ScratchTypes() = default;
    ~ScratchTypes()
    {
        for (const auto& key : keys_)
            DeleteRegTree(HKEY_CLASSES_ROOT, key);
    }
    ScratchTypes(const ScratchTypes&) = delete;
    ScratchTypes& operator=(const ScratchTypes&) = delete;

    // A name of this process, removed at the end.
    std::wstring Name(const std::wstring& base)
    {
        std::wstring name = base + std::to_wstring(GetCurrentProcessId());
        keys_.push_back(name);
        return name;
    }
    // A type: the extension "." + base names a ProgID of its own; returns the
    // extension.
    std::wstring Make(const std::wstring& base, std::wstring* progId = nullptr, const wchar_t* defaultIcon = nullptr)
    {
        std::wstring extension = Name(L".dd" + base);
        std::wstring type = Name(L"ddtest." + base);
        SetRegString(HKEY_CLASSES_ROOT, extension, nullptr, type);
        SetRegString(HKEY_CLASSES_ROOT, type, nullptr, L"Scratch type " + base);
        if (defaultIcon)
            SetRegString(HKEY_CLASSES_ROOT, type + L"\\DefaultIcon", nullptr, defaultIcon);
        if (progId)
            *progId = type;
        return extension;
    }

private:
    std::vector<std::wstring> keys_;
};
