#pragma once
// Whether a listed drawing is open in the CAD host already: the user's own
// document, perhaps with unsaved edits, which the run must never open, purge,
// save or close.
#include "app/Automation.h"
#include "app/DrawingFiles.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// Why the run does not open a drawing the host has open.
inline constexpr std::wstring_view OpenInHostText = L"图纸已在 CAD 中打开。";
// A document of that file name whose folder the host cannot tell.
inline constexpr std::wstring_view SameNameOpenText =
    L"CAD 中打开着同名图纸，无法确认是否为同一文件。";

// Two paths name the same file when their final paths are equal without
// regard to letter case (a short name, other letter case, a mapped drive
// against its UNC path), in the first form of FinalPaths that both give;
// where no form does (a file that cannot be opened), when the paths as given
// are. Never by file ID alone: some network drives give every file the same.
bool SameFile(DrawingFiles& files, const std::wstring& a, const FinalPaths& finalA,
              const std::wstring& b, const FinalPaths& finalB);

// The host's open documents, looked through before each drawing: each
// document's FullName; where that fails, its Path and Name; where the Path
// fails too, its Name alone, which can only tell that a document of that
// name is open (never the run's own template drawing). A document of which
// nothing can be read, or that has no file yet, is passed over, and so is
// the whole check for a host that cannot count its documents.
//
// What the check learns once holds for the run: whether the host counts its
// documents from 0 or from 1, and the final path of each file a document
// names (so that a file on a slow or offline share is opened once a run, not
// once a drawing).
class OpenDocuments {
  public:
    explicit OpenDocuments(DrawingFiles& files) : files_(files) {}

    // The run's own template drawing, as Documents.Add returned it.
    void NoteTemplate(const Variant& added);
    // Stops the run (OpenInHostText, SameNameOpenText) where one of the
    // documents is the listed drawing at path.
    void Check(AutoObject& documents, const std::wstring& path);

  private:
    AutoRef Item(AutoObject& documents, std::int64_t n, std::int64_t count);
    const FinalPaths& FinalOf(const std::wstring& name);

    DrawingFiles& files_;
    std::optional<std::int32_t> first_; // the index of the host's first document
    std::optional<std::wstring> templateName_;
    std::map<std::wstring, FinalPaths> finals_;
};

} // namespace varno
