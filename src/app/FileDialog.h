#pragma once
// A file dialog component as the forms use it: the settings stored on it,
// and an Open or Save As showing that answers in FileName.
#include <string>

namespace varno {

class FileDialog {
  public:
    virtual ~FileDialog() = default;

    std::wstring FileName;
    std::wstring DialogTitle;
    std::wstring Filter; // "description|pattern|description|pattern"
    std::wstring DefaultExt;
    std::wstring InitDir;
    unsigned long Flags = 0;
    bool CancelError = false;
    int MaxFileSize = 260; // characters of the answer buffer
    int FilterIndex = 0;

    // True when the user chose a file (FileName holds the answer). A cancel
    // returns false, or raises error 32755 when CancelError is set; a dialog
    // failure (an answer too long for the buffer) raises its own error.
    virtual bool ShowOpen() = 0;
    virtual bool ShowSave() = 0;
};

// Open-file options.
constexpr unsigned long OfnHideReadOnly = 0x4;
constexpr unsigned long OfnAllowMultiSelect = 0x200;
constexpr unsigned long OfnExplorer = 0x80000;

} // namespace varno
