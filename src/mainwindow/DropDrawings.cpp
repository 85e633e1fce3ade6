#include "mainwindow/DropDrawings.h"

#include "app/Error.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <set>

namespace varno {

namespace {

void AddIfDrawing(std::wstring path, FoundDrawings& found) {
    if (!IsDrawingName(path))
        return;
    if (path.size() > MaxDrawingPath)
        ++found.tooLong;
    else
        found.drawings.push_back(std::move(path));
}

struct Search {
    FolderReader& folders;
    std::stop_token stop;
    FoundDrawings& found;
    std::set<FolderId> visited;
    std::vector<FolderEntry> entries;

    struct Pending {
        std::wstring path;
        bool linked = false; // reached through a link inside the walk
    };

    // Depth first, each folder's entries in the order the reader gives them.
    void Walk(const std::wstring& top) {
        std::vector<Pending> pending{{top}};
        std::vector<Pending> subfolders;
        while (!pending.empty() && !stop.stop_requested()) {
            const Pending folder = std::move(pending.back());
            pending.pop_back();
            if (const auto id = folders.IdOf(folder.path)) {
                if (!visited.insert(*id).second)
                    continue; // walked already, on another path or higher up a loop
            } else if (folder.linked) {
                ++found.unreadFolders; // a link that leads nowhere that can be read
                continue;
            }
            entries.clear();
            if (!folders.Read(folder.path, entries))
                ++found.unreadFolders; // with whatever part was read
            subfolders.clear();
            for (auto& e : entries) {
                if (e.system)
                    continue;
                if (e.kind == EntryKind::File)
                    AddIfDrawing(JoinPath(folder.path, e.name), found);
                else if (e.kind == EntryKind::Folder || e.kind == EntryKind::LinkedFolder)
                    subfolders.push_back(
                        {JoinPath(folder.path, e.name), e.kind == EntryKind::LinkedFolder});
            }
            // Reversed onto the stack, so the first subfolder is walked next.
            std::move(subfolders.rbegin(), subfolders.rend(), std::back_inserter(pending));
        }
    }
};

} // namespace

FoundDrawings CollectDrawings(FolderReader& folders, std::span<const std::wstring> dropped,
                              std::stop_token stop) {
    FoundDrawings found;
    Search search{folders, stop, found, {}, {}};
    try {
        for (const auto& path : dropped) {
            if (stop.stop_requested())
                break;
            switch (folders.KindOf(path)) {
            case EntryKind::File:
                AddIfDrawing(path, found);
                break;
            case EntryKind::Folder:
            case EntryKind::LinkedFolder:
                search.Walk(path);
                break;
            case EntryKind::Missing:
                break;
            }
        }
    } catch (const std::exception&) {
        found.incomplete = true; // what was found so far still counts
    }
    return found;
}

std::wstring DropReportText(const DropReport& r) {
    if (!r.Skipped())
        return {};
    const auto n = [](int count) { return std::to_wstring(count); };
    std::wstring text = L"已加入 " + n(r.added) + L" 张图纸";
    if (const int skipped = r.tooLong + r.refused; skipped > 0)
        text += L"，跳过 " + n(skipped) + L" 张";
    text += L"。";
    if (r.tooLong > 0)
        text += L"\n" + n(r.tooLong) + L" 张的路径超过 " + std::to_wstring(MaxDrawingPath) +
                L" 个字符，CAD 无法打开。";
    if (r.refused > 0)
        text += L"\n" + n(r.refused) + L" 张因内存不足，列表无法再加入。";
    if (r.unreadFolders > 0)
        text += L"\n" + n(r.unreadFolders) +
                L" 个文件夹无法读取或没有读完，其中的图纸可能没有全部加入。";
    if (r.incomplete)
        text += L"\n内存不足，查找没有完成。";
    return text;
}

void ShowDropReport(MessageBoxes& boxes, const DropReport& report) {
    if (const std::wstring text = DropReportText(report); !text.empty())
        boxes.Show(text, MsgOkOnly);
}

DrawingDrop::DrawingDrop(const DrawingList& list, std::vector<std::wstring> dropped)
    : dropped_(std::move(dropped)), add_(list.StartAdd()) {}

void DrawingDrop::Search(FolderReader& folders, std::stop_token stop) {
    found_ = CollectDrawings(folders, dropped_, stop);
    try {
        add_->Prepare(std::move(found_.drawings));
    } catch (const std::exception&) {
        found_.incomplete = true; // nothing is added then
    }
}

DropReport DrawingDrop::Finish(DrawingList& list) {
    DropReport report;
    report.tooLong = found_.tooLong;
    report.unreadFolders = found_.unreadFolders;
    report.incomplete = found_.incomplete;
    const int before = list.ListCount();
    Trap([&] { list.AddPrepared(*add_); }); // a refusal keeps what was added before it
    report.added = list.ListCount() - before;
    report.refused = static_cast<int>(add_->Fresh().size()) - report.added;
    return report;
}

void DropDrawings(DrawingList& list, FolderReader& folders, std::span<const std::wstring> dropped,
                  MessageBoxes& boxes) {
    DrawingDrop drop(list, {dropped.begin(), dropped.end()});
    drop.Search(folders);
    ShowDropReport(boxes, drop.Finish(list));
}

} // namespace varno
