// GoogleTest entry for every test host: a single-threaded apartment, as on
// the thread that shows a Properties dialog, and the common controls.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
