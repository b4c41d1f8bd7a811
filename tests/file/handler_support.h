// Plays Explorer towards DocDress's icon and InfoTip handlers: the object is
// made through the class factory, handed a file with IPersistFile::Load and
// asked for the icon location and the tip, which the caller frees with the
// shell's allocator. An IMalloc spy put in place of the DLL's SHGetMalloc
// import counts what the handler allocates and what the caller frees.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

#include "host.h"

// The shell's allocator with a record of every block it handed out and took
// back. Frees of blocks it never handed out, and double frees, are counted.
class SpyMalloc final : public IMalloc {
public:
    SpyMalloc() { CoGetMalloc(MEMCTX_TASK, &real_); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc)) {
            *ppv = static_cast<IMalloc*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP_(void*) Alloc(SIZE_T size) override
    {
        if (failAllocations)
            return nullptr;
        void* block = real_->Alloc(size);
        std::lock_guard<std::mutex> lock(mutex_);
        if (block) {
            live_.insert(block);
            ++allocations;
        }
        return block;
    }
    STDMETHODIMP_(void*) Realloc(void* block, SIZE_T size) override { return real_->Realloc(block, size); }
    STDMETHODIMP_(void) Free(void* block) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (live_.erase(block) == 1)
                ++frees;
            else
                ++strayFrees;
        }
        real_->Free(block);
    }
    STDMETHODIMP_(SIZE_T) GetSize(void* block) override { return real_->GetSize(block); }
    STDMETHODIMP_(int) DidAlloc(void* block) override { return real_->DidAlloc(block); }
    STDMETHODIMP_(void) HeapMinimize() override { real_->HeapMinimize(); }

    size_t LiveBlocks()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return live_.size();
    }

    std::atomic<long> references{0};
    std::atomic<long> allocations{0};
    std::atomic<long> frees{0};
    std::atomic<long> strayFrees{0};
    std::atomic<bool> failAllocations{false};

private:
    IMalloc* real_ = nullptr;
    std::mutex mutex_;
    std::set<void*> live_;
};

// What the DLL's SHGetMalloc import answers while the spy is in place.
enum class ShellAllocator { Spy, Fails, GivesNull };

// Puts the spy in place of the DLL's SHGetMalloc import for the life of the
// object.
class AllocatorSpy {
public:
    explicit AllocatorSpy(HMODULE dll);
    ~AllocatorSpy();
    AllocatorSpy(const AllocatorSpy&) = delete;
    AllocatorSpy& operator=(const AllocatorSpy&) = delete;

    SpyMalloc spy;
    std::atomic<ShellAllocator> mode{ShellAllocator::Spy};
    // Calls of the DLL's SHGetMalloc and CoTaskMemAlloc imports.
    std::atomic<long> shGetMallocCalls{0};
    std::atomic<long> coTaskMemAllocCalls{0};

private:
    ImportPatch shGetMalloc_;
    ImportPatch coTaskMemAlloc_;
};

// Counts the DLL's profile reads, a section at a time and a key at a time,
// for the life of the object.
class ProfileReadSpy {
public:
    explicit ProfileReadSpy(HMODULE dll);
    ~ProfileReadSpy();
    ProfileReadSpy(const ProfileReadSpy&) = delete;
    ProfileReadSpy& operator=(const ProfileReadSpy&) = delete;

    std::atomic<long> sectionReads{0};
    std::atomic<long> keyReads{0};

private:
    ImportPatch section_;
    ImportPatch key_;
};

// One handler object, made and loaded the way Explorer does it.
class FileHandler {
public:
    FileHandler(const Deliverable& dll, const std::wstring& file, DWORD mode = STGM_READ);
    FileHandler(const Deliverable& dll);  // not loaded
    ~FileHandler();
    FileHandler(const FileHandler&) = delete;
    FileHandler& operator=(const FileHandler&) = delete;

    HRESULT Load(const std::wstring& file, DWORD mode = STGM_READ);
    HRESULT loadResult = E_UNEXPECTED;

    // GetIconLocation into a buffer of `capacity` characters.
    struct Icon {
        HRESULT hr;
        std::wstring location;
        int index;
        UINT flags;
    };
    Icon IconLocation(UINT capacity = MAX_PATH);
    // GetInfoTip; the text is freed with `allocator` (the shell's, unless
    // given). "<failed>" when the call fails.
    std::wstring InfoTip(HRESULT* hr = nullptr, IMalloc* allocator = nullptr);

    IPersistFile* persist = nullptr;
    IExtractIconW* extract = nullptr;
    IQueryInfo* query = nullptr;
};
