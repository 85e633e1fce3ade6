#pragma once
// The file dialog component over GetOpenFileNameW / GetSaveFileNameW.
#include <windows.h>

#include <commdlg.h>

#include "app/FileDialog.h"

#include <functional>

namespace varno::win {

class CommonDialog : public FileDialog {
  public:
    // The window that owns the dialogs shown by ShowOpen() and ShowSave().
    HWND Owner = nullptr;
    // Tests see the dialog's settings just before it is shown.
    std::function<void(const OPENFILENAMEW&)> BeforeShow;

    bool ShowOpen() override { return Run(Owner, false); }
    bool ShowSave() override { return Run(Owner, true); }

  private:
    bool Run(HWND owner, bool save);
};

} // namespace varno::win
