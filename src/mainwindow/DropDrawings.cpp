#include "mainwindow/DropDrawings.h"

#include "app/Error.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <map>
#include <set>
#include <utility>

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

// The drive a full path lies on: "D:", or "\\server\share" for a UNC path.
std::wstring_view DriveOf(std::wstring_view path) {
    const bool unc = path.starts_with(L"\\\\");
    size_t end = path.find(L'\\', unc ? 2 : 0); // after the drive, or after the server
    if (unc && end != std::wstring_view::npos)
        end = path.find(L'\\', end + 1); // after the share
    return path.substr(0, end);
}

struct Search {
    FolderReader& folders;
    std::stop_token stop;
    FoundDrawings& found;
    std::vector<FolderEntry> entries;

    struct Pending {
        std::wstring path;
        bool link = false;    // a link: dropped as one, or met as one in a folder
        bool dropped = false; // what the user dropped, not met in a walk
    };

    // The folders walked, told apart by their identity, so that no link
    // leads into a folder twice nor round a loop; each with the path it was
    // first walked on.
    struct Walked {
        std::wstring path;
        bool link = false;
        bool shared = false; // two paths without a link have it: it tells nothing
        // Links not followed because they lead here: they count as unread
        // once two paths on one drive show the identity shared, since then
        // they may have led elsewhere.
        int linksPassed = 0;
    };
    std::map<FolderId, Walked> byId;
    // Folders without a usable identity (none, a zero one, a shared one),
    // told apart by their paths.
    std::set<std::wstring> byPath;

    enum class Visit { Walk, Skip, Unread };

    Visit Decide(const Pending& folder) {
        const std::optional<FolderId> id = folders.IdOf(folder.path);
        if (id && (id->high != 0 || id->low != 0)) {
            auto [first, fresh] = byId.try_emplace(*id, Walked{folder.path, folder.link});
            if (fresh)
                return Visit::Walk;
            Walked& walked = first->second;
            // Two different paths without a link: a file system that gives
            // folders no IDs of their own (a redirector, FUSE, a NAS), or
            // cloned disks. A path cannot loop without a link. Cloned disks
            // keep the IDs of each apart; within one drive the identity tells
            // nothing, not even where a link led.
            const bool plainPaths = !folder.link && !walked.link && walked.path != folder.path;
            if (plainPaths && DriveOf(walked.path) == DriveOf(folder.path))
                found.unreadFolders += std::exchange(walked.linksPassed, 0);
            if (!walked.shared) {
                if (!plainPaths) {
                    // The same folder on its own path again, or where a link leads.
                    if (folder.link && walked.path != folder.path)
                        ++walked.linksPassed;
                    return Visit::Skip;
                }
                walked.shared = true;
                byPath.insert(walked.path);
            }
        }
        // A link met in a walk whose folder cannot be told apart from the
        // others might lead back up: it is not followed.
        if (folder.link && !folder.dropped)
            return Visit::Unread;
        return byPath.insert(folder.path).second ? Visit::Walk : Visit::Skip;
    }

    // Depth first, each folder's entries in the order the reader gives them.
    void Walk(const std::wstring& top, bool link) {
        std::vector<Pending> pending{{top, link, true}};
        std::vector<Pending> subfolders;
        while (!pending.empty() && !stop.stop_requested()) {
            const Pending folder = std::move(pending.back());
            pending.pop_back();
            const Visit visit = Decide(folder);
            if (visit == Visit::Skip)
                continue; // walked already, on another path or higher up a loop
            if (visit == Visit::Unread) {
                ++found.unreadFolders; // a link that leads nowhere that can be told
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
    Search search{folders, stop, found, {}, {}, {}};
    try {
        for (const auto& path : dropped) {
            if (stop.stop_requested())
                break;
            const EntryKind kind = folders.KindOf(path);
            switch (kind) {
            case EntryKind::File:
                AddIfDrawing(path, found);
                break;
            case EntryKind::Folder:
            case EntryKind::LinkedFolder:
                search.Walk(path, kind == EntryKind::LinkedFolder);
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

} // namespace varno
