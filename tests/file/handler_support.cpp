#include "handler_support.h"

#include <gtest/gtest.h>
#include <shlguid.h>

#include "clsids.h"

namespace {

AllocatorSpy* activeSpy = nullptr;

HRESULT WINAPI SpySHGetMalloc(IMalloc** allocator)
{
    ++activeSpy->shGetMallocCalls;
    switch (activeSpy->mode.load()) {
    case ShellAllocator::Fails:
        *allocator = nullptr;
        return E_FAIL;
    case ShellAllocator::GivesNull:
        *allocator = nullptr;
        return S_OK;
    case ShellAllocator::Spy:
        break;
    }
    activeSpy->spy.AddRef();
    *allocator = &activeSpy->spy;
    return S_OK;
}

LPVOID WINAPI CountingCoTaskMemAlloc(SIZE_T size)
{
    ++activeSpy->coTaskMemAllocCalls;
    return CoTaskMemAlloc(size);
}

ProfileReadSpy* activeReadSpy = nullptr;

DWORD WINAPI CountingGetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file)
{
    ++activeReadSpy->sectionReads;
    return GetPrivateProfileSectionW(section, buffer, size, file);
}

DWORD WINAPI CountingGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                              DWORD size, LPCWSTR file)
{
    ++activeReadSpy->keyReads;
    return GetPrivateProfileStringW(section, key, defaultValue, buffer, size, file);
}

}  // namespace

ProfileReadSpy::ProfileReadSpy(HMODULE dll)
    : section_(dll, "kernel32.dll", "GetPrivateProfileSectionW",
               reinterpret_cast<void*>(CountingGetPrivateProfileSectionW)),
      key_(dll, "kernel32.dll", "GetPrivateProfileStringW", reinterpret_cast<void*>(CountingGetPrivateProfileStringW))
{
    activeReadSpy = this;
    EXPECT_TRUE(section_.Installed()) << "the DLL does not import GetPrivateProfileSectionW";
    EXPECT_TRUE(key_.Installed()) << "the DLL does not import GetPrivateProfileStringW";
}

ProfileReadSpy::~ProfileReadSpy()
{
    activeReadSpy = nullptr;
}

AllocatorSpy::AllocatorSpy(HMODULE dll)
    : shGetMalloc_(dll, "shell32.dll", "SHGetMalloc", reinterpret_cast<void*>(SpySHGetMalloc)),
      coTaskMemAlloc_(dll, "ole32.dll", "CoTaskMemAlloc", reinterpret_cast<void*>(CountingCoTaskMemAlloc))
{
    activeSpy = this;
    EXPECT_TRUE(shGetMalloc_.Installed()) << "the DLL does not import SHGetMalloc";
    EXPECT_TRUE(coTaskMemAlloc_.Installed()) << "the DLL does not import CoTaskMemAlloc";
}

AllocatorSpy::~AllocatorSpy()
{
    activeSpy = nullptr;
}

FileHandler::FileHandler(const Deliverable& dll)
{
    HRESULT hr = dll.Create(CLSID_DocDress, IID_IPersistFile, reinterpret_cast<void**>(&persist));
    EXPECT_EQ(hr, S_OK);
    if (!persist)
        return;
    EXPECT_EQ(persist->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract)), S_OK);
    EXPECT_EQ(persist->QueryInterface(IID_IQueryInfo, reinterpret_cast<void**>(&query)), S_OK);
}

FileHandler::FileHandler(const Deliverable& dll, const std::wstring& file, DWORD mode) : FileHandler(dll)
{
    Load(file, mode);
}

FileHandler::~FileHandler()
{
    if (query)
        query->Release();
    if (extract)
        extract->Release();
    if (persist)
        persist->Release();
}

HRESULT FileHandler::Load(const std::wstring& file, DWORD mode)
{
    loadResult = persist ? persist->Load(file.c_str(), mode) : E_NOINTERFACE;
    return loadResult;
}

FileHandler::Icon FileHandler::IconLocation(UINT capacity)
{
    Icon icon = {E_UNEXPECTED, L"", -777, 0xBAD};
    std::wstring buffer(capacity + 16, L'#');
    buffer[0] = L'\0';
    icon.hr = extract ? extract->GetIconLocation(0, &buffer[0], capacity, &icon.index, &icon.flags) : E_NOINTERFACE;
    // Nothing may be written beyond the capacity given.
    for (size_t i = capacity; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], L'#') << "GetIconLocation wrote beyond its buffer at " << i;
    icon.location = buffer.c_str();
    return icon;
}

std::wstring FileHandler::InfoTip(HRESULT* result, IMalloc* allocator)
{
    LPWSTR tip = reinterpret_cast<LPWSTR>(1);
    HRESULT hr = query ? query->GetInfoTip(0, &tip) : E_NOINTERFACE;
    if (result)
        *result = hr;
    if (FAILED(hr)) {
        EXPECT_EQ(tip, nullptr) << "a failed GetInfoTip must give no text";
        return L"<failed>";
    }
    std::wstring text = tip ? tip : L"<null>";
    if (allocator) {
        allocator->Free(tip);
    } else {
        IMalloc* shell = nullptr;
        SHGetMalloc(&shell);
        shell->Free(tip);
        shell->Release();
    }
    return text;
}
