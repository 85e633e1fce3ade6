#include "platform/CommonDialog.h"

#include "app/Error.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace varno::win {

// The dialog flags the portable layer names, as the system defines them.
static_assert(OfnHideReadOnly == OFN_HIDEREADONLY && OfnAllowMultiSelect == OFN_ALLOWMULTISELECT &&
              OfnExplorer == OFN_EXPLORER);

namespace {

// The dialogs make the folder last shown the process's current one, which
// keeps it open (a USB stick then cannot be removed): the folder that was
// current before goes back when the dialog returns.
class KeepCurrentFolder {
  public:
    KeepCurrentFolder() {
        folder_.resize(GetCurrentDirectoryW(0, nullptr));
        folder_.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder_.size()), folder_.data()));
    }
    ~KeepCurrentFolder() {
        if (!folder_.empty())
            SetCurrentDirectoryW(folder_.c_str());
    }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;

  private:
    std::wstring folder_;
};

} // namespace

bool CommonDialog::Run(HWND owner, bool save) {
    // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
    std::wstring filter = Filter;
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');

    const size_t size =
        std::max<size_t>(static_cast<size_t>(std::max(MaxFileSize, 1)), FileName.size() + 1);
    std::vector<wchar_t> buffer(size + 1, L'\0');
    std::copy(FileName.begin(), FileName.end(), buffer.begin());

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(size);
    ofn.lpstrInitialDir = InitDir.empty() ? nullptr : InitDir.c_str();
    ofn.lpstrTitle = DialogTitle.empty() ? nullptr : DialogTitle.c_str();
    ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    ofn.Flags = Flags;
    if (BeforeShow)
        BeforeShow(ofn);

    const bool chosen = [&] {
        const KeepCurrentFolder keep;
        return save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    }();
    if (chosen) {
        // A multiple selection is "folder\0name\0name\0\0"; the answer keeps
        // the NULs between the pieces and drops the final ones.
        const wchar_t* b = buffer.data();
        size_t n = 0;
        if (Flags & OfnAllowMultiSelect) {
            while (n + 1 < buffer.size() && !(b[n] == L'\0' && b[n + 1] == L'\0'))
                ++n;
        } else {
            while (n < buffer.size() && b[n] != L'\0')
                ++n;
        }
        FileName.assign(b, n);
        return true;
    }
    const DWORD err = CommDlgExtendedError();
    if (err == 0) { // cancelled
        if (CancelError)
            throw Error(errnum::CancelSelected, L"Cancel was selected.");
        return false;
    }
    if (err == FNERR_BUFFERTOOSMALL)
        throw Error(errnum::DialogBufferTooSmall, L"The file name buffer is too small.");
    throw Error(errnum::DialogFailure, L"The file dialog failed.");
}

} // namespace varno::win
