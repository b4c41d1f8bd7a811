// The operators new and delete the libraries use, on the process heap. The
// libraries allocate only with new (std::nothrow) and free with delete; the
// C++ runtime's versions of these operators would bring its exception
// machinery and the rest of the runtime into every library.
#include <windows.h>

#include <new>

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}

void operator delete(void* block) noexcept
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    operator delete(block);
}
