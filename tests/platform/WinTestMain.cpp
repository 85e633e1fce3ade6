// The Windows tests' entry: the same process set-up as the program (a
// single-threaded apartment, common controls v6 classes, system DPI aware).
#include <windows.h>
#include <ole2.h>

#include "app/Module1.h"
#include "platform/App.h"
#include "platform/HostThread.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    const varno::win::UiThread ui;
    const varno::win::HostThread host; // its end releases the host session
    // The DpiChild and KilledRunChild checks run only in the child processes
    // that the HighDpi and HostRun tests start, which name them in their
    // filter.
    GTEST_FLAG_SET(filter, "-DpiChild.*:KilledRunChild.*");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
