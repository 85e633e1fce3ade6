#include "mainwindow/ListCommands.h"

#include "app/Error.h"
#include "app/Folders.h"

namespace varno {

void DeleteSelected(DrawingList& list) {
    for (int i = list.ListCount() - 1; i >= 0; --i) {
        if (list.Selected(i))
            list.RemoveItem(i);
    }
}

std::vector<std::wstring> SplitAnswer(std::wstring_view answer) {
    std::vector<std::wstring> pieces;
    if (answer.empty())
        return pieces;
    size_t start = 0;
    for (;;) {
        const size_t nul = answer.find(L'\0', start);
        pieces.emplace_back(answer.substr(start, nul - start));
        if (nul == std::wstring_view::npos)
            return pieces;
        start = nul + 1;
    }
}

std::vector<std::wstring> AnswerPaths(std::wstring_view answer) {
    std::vector<std::wstring> pieces = SplitAnswer(answer);
    if (pieces.size() <= 1)
        return pieces;
    std::vector<std::wstring> paths;
    paths.reserve(pieces.size() - 1);
    for (size_t i = 1; i < pieces.size(); ++i)
        paths.push_back(JoinPath(pieces[0], pieces[i]));
    return paths;
}

int AddNewPaths(DrawingList& list, std::vector<std::wstring> paths) {
    if (paths.empty())
        return 0;
    // One read of the list instead of one per path.
    PreparedAdd add(list.Items());
    add.Prepare(std::move(paths));
    if (!add.Fresh().empty()) // else the list is not touched at all
        list.AddItems(add.Fresh());
    return static_cast<int>(add.Fresh().size());
}

void AddAnswer(DrawingList& list, std::wstring_view answer) {
    AddNewPaths(list, AnswerPaths(answer));
}

void AddDrawings(FileDialog& dialog, DrawingList& list, MessageBoxes& boxes) {
    const long failed = Trap([&] {
        dialog.FileName.clear();
        dialog.CancelError = true;
        dialog.DialogTitle = L"Select File(s)...";
        dialog.Flags = OfnExplorer | OfnAllowMultiSelect | OfnHideReadOnly;
        dialog.Filter = L"图形 (*.dwg)|*.dwg";
        dialog.ShowOpen();
        AddAnswer(list, dialog.FileName);
    });
    if (failed) // a cancel included
        boxes.Show(SelectFilesText, MsgCritical, ErrorTitle);
}

} // namespace varno
