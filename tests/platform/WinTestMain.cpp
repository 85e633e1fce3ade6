// The Windows tests' entry: the same process set-up as the program (a
// single-threaded apartment, common controls v6 classes, system DPI aware).
#include <windows.h>
#include <ole2.h>

#include "app/Module1.h"
#include "platform/App.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    const varno::win::UiThread ui;
    // The DpiChild checks run only in the child processes that the HighDpi
    // tests start at each DPI, which name them in their filter.
    GTEST_FLAG_SET(filter, "-DpiChild.*");
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // The host session a test left goes before the thread's OLE session.
    varno::Host() = varno::HostSession{};
    return rc;
}
