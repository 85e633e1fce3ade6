#pragma once
// Screenshots of real windows for a person to look at: the window's screen
// rectangle, read back from the X server through the screen DC, saved as a
// 24-bit BMP in the folder named by VARNO_SCREENSHOTS (a Unix path), if set.
#include <windows.h>

#include <string>

namespace varno::test {

// Returns false when no folder is set or the file cannot be written.
bool SaveScreenshot(HWND window, const std::wstring& name);

} // namespace varno::test
