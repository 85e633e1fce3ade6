#include "batch/OpenDocuments.h"

#include "app/Error.h"
#include "batch/HostAnswers.h"

namespace varno {

bool SameFile(DrawingFiles& files, const std::wstring& a, const FinalPaths& finalA,
              const std::wstring& b, const FinalPaths& finalB) {
    for (std::size_t form = 0; form < FinalPathForms; ++form)
        if (finalA[form] && finalB[form])
            return files.SameName(*finalA[form], *finalB[form]);
    return files.SameName(a, b);
}

namespace {

std::wstring_view FileNameOf(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

} // namespace

void OpenDocuments::NoteTemplate(const Variant& added) {
    if (const AutoRef* drawing = std::get_if<AutoRef>(&added); drawing && *drawing)
        templateName_ = TextAnswer(**drawing, L"Name");
}

// The host's n-th document. The first one read tells from where the host
// counts: from 0, as AutoCAD does; from 1 where Item(0) fails and
// Item(Count) answers.
AutoRef OpenDocuments::Item(AutoObject& documents, std::int64_t n, std::int64_t count) {
    const auto item = [&](std::int64_t i) {
        return Asking(
            [&] { return ObjectOf(documents.Call(L"Item", {static_cast<std::int32_t>(i)})); });
    };
    if (first_)
        return item(*first_ + n);
    if (AutoRef doc = item(0)) {
        first_ = 0;
        return doc;
    }
    first_ = item(count) ? 1 : 0;
    return *first_ == 1 ? item(1) : nullptr;
}

const FinalPaths& OpenDocuments::FinalOf(const std::wstring& name) {
    auto it = finals_.find(name);
    if (it == finals_.end())
        it = finals_.emplace(name, files_.FinalPath(name)).first;
    return it->second;
}

void OpenDocuments::Check(AutoObject& documents, const std::wstring& path) {
    const std::optional<std::int64_t> count =
        Asking([&] { return IntegerOf(documents.Get(L"Count")); });
    if (!count)
        return; // the host cannot list its documents
    // The listed file's final paths, read once and only for a document that
    // has a file.
    std::optional<FinalPaths> listed;
    const auto isListed = [&](const std::wstring& name) {
        if (!listed)
            listed = files_.FinalPath(path);
        return SameFile(files_, name, FinalOf(name), path, *listed);
    };
    for (std::int64_t n = 0; n < *count; ++n) {
        const AutoRef doc = Item(documents, n, *count);
        if (!doc)
            continue;
        if (const std::optional<std::wstring> fullName = TextAnswer(*doc, L"FullName")) {
            // Empty for a drawing never saved, which has no file.
            if (!fullName->empty() && isListed(*fullName))
                Stop(errnum::PermissionDenied, OpenInHostText);
            continue;
        }
        const std::optional<std::wstring> folder = TextAnswer(*doc, L"Path");
        const std::optional<std::wstring> name = TextAnswer(*doc, L"Name");
        if (!name || name->empty())
            continue;
        if (folder) {
            if (folder->empty())
                continue;
            const bool rooted = folder->back() == L'\\';
            if (isListed(*folder + (rooted ? L"" : L"\\") + *name))
                Stop(errnum::PermissionDenied, OpenInHostText);
        } else if (!(templateName_ && files_.SameName(*name, *templateName_)) &&
                   files_.SameName(*name, FileNameOf(path))) {
            Stop(errnum::PermissionDenied, SameNameOpenText);
        }
    }
}

} // namespace varno
