// Move-only owners for Win32 handles: one template with a close policy and a
// typedef per kind, so that every acquire has exactly one release.
#pragma once

#include <windows.h>
#include <objbase.h>

template <typename T, typename Policy>
class UniqueHandle {
public:
    UniqueHandle() : value_(Policy::Invalid()) {}
    explicit UniqueHandle(T value) : value_(value) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) : value_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other)
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    T Get() const { return value_; }
    bool IsValid() const { return value_ != Policy::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    // For out-parameters of creating calls: releases what is held first.
    T* Receive()
    {
        Reset();
        return &value_;
    }

    T Detach()
    {
        T value = value_;
        value_ = Policy::Invalid();
        return value;
    }

    void Reset(T value = Policy::Invalid())
    {
        if (value_ != Policy::Invalid())
            Policy::Close(value_);
        value_ = value;
    }

private:
    T value_;
};

struct RegKeyPolicy {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct FilePolicy {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE file) { CloseHandle(file); }
};
struct LibraryPolicy {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};
struct IconPolicy {
    static HICON Invalid() { return nullptr; }
    static void Close(HICON icon) { DestroyIcon(icon); }
};
struct GdiObjectPolicy {
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};
struct MemoryDcPolicy {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
struct MenuPolicy {
    static HMENU Invalid() { return nullptr; }
    static void Close(HMENU menu) { DestroyMenu(menu); }
};
struct CoTaskMemPolicy {
    static void* Invalid() { return nullptr; }
    static void Close(void* block) { CoTaskMemFree(block); }
};

typedef UniqueHandle<HKEY, RegKeyPolicy> AutoRegKey;
typedef UniqueHandle<HANDLE, FilePolicy> AutoFile;
typedef UniqueHandle<HMODULE, LibraryPolicy> AutoLibrary;
typedef UniqueHandle<HICON, IconPolicy> AutoIcon;
typedef UniqueHandle<HGDIOBJ, GdiObjectPolicy> AutoGdiObject;
typedef UniqueHandle<HDC, MemoryDcPolicy> AutoMemoryDc;
typedef UniqueHandle<HMENU, MenuPolicy> AutoMenu;
typedef UniqueHandle<void*, CoTaskMemPolicy> AutoCoTaskMem;

// A COM interface pointer that releases its reference.
template <typename T>
class ComPtr {
public:
    ComPtr() : ptr_(nullptr) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T** Receive()
    {
        Reset();
        return &ptr_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset()
    {
        if (ptr_) {
            ptr_->Release();
            ptr_ = nullptr;
        }
    }

private:
    T* ptr_;
};

// GetDC/ReleaseDC and SelectObject pairs, undone at the end of a scope.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelectObject()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
