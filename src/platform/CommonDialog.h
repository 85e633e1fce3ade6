#pragma once
// The file dialog component: the settings a form stores on it, and Open and
// Save As dialogs over GetOpenFileNameW / GetSaveFileNameW.
#include <windows.h>

#include <string>

namespace varno::win {

class CommonDialog {
  public:
    std::wstring FileName;
    std::wstring DialogTitle;
    std::wstring Filter; // "description|pattern|description|pattern"
    std::wstring DefaultExt;
    std::wstring InitDir;
    DWORD Flags = 0;
    bool CancelError = false;
    int MaxFileSize = 260; // characters of the answer buffer
    int FilterIndex = 0;

    // True when the user chose a file (FileName holds the answer). A cancel
    // returns false, or raises error 32755 when CancelError is set; a
    // dialog failure (an answer too long for the buffer) raises its error.
    bool ShowOpen(HWND owner);
    bool ShowSave(HWND owner);

  private:
    bool Run(HWND owner, bool save);
};

} // namespace varno::win
