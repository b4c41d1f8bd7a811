/* A library of a few lines: the yardstick next to which the handler
   benchmark times loading and freeing the deliverables. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int BenchTrivial(void)
{
    return 1;
}
