#pragma once
// Whole text files for the list file: read in one go, and replaced in one
// step through a new file in the same folder; and the system's ANSI code page.
#include "app/CodePage.h"
#include "app/ListFileStore.h"
#include "platform/Handle.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace varno::win {

// The whole file. Raises varno::Error: 75 for an empty name, a folder, a
// device or a file that cannot be opened for reading, 53 when it does not
// exist, 76 when its folder does not, 7 when it is larger than maxBytes.
std::string ReadWholeFile(const std::wstring& path, std::size_t maxBytes);

// The size and the first headBytes bytes of the file; nothing when neither it
// nor its folder exists. Raises varno::Error as ReadWholeFile does otherwise.
std::optional<FileStart> PeekFile(const std::wstring& path, std::size_t headBytes);

// Writes the bytes to a new file in the target's folder, flushes it to disk
// and puts it in the target's place in one step. The target is the file the
// path leads to in the end: through a symbolic link, the link's target, and
// the link stays as it is. The new file's and the backup's names are used in
// their long form ("\\?\") where that is needed, so a save works in any
// folder where the file itself can be opened. An existing target is
// replaced with ReplaceFileW, so that the file keeps its attributes, creation
// time, short name, object identifier, access control list, encryption,
// compression and alternate streams. It is a new file all the same: another
// hard link to the old one still shows the old content. A new target (or one
// on a volume that cannot replace files) is moved there. On any failure the target
// is left as it was and no new file remains. Raises varno::Error: 75 for an empty
// name, a folder, a read-only file or a file in use, 76 for a missing folder,
// 61 for a full disk.
void ReplaceFileWith(const std::wstring& path, std::string_view bytes);

// A file written a piece at a time, each piece on the disk before Write
// returns: a process ended from outside leaves what it wrote. Others may read
// it meanwhile.
class FlushedFile {
  public:
    // Created, or an existing one emptied. Raises varno::Error as the save of
    // a list file does where it cannot be opened for writing (another program
    // holds it, a folder, a read-only file).
    explicit FlushedFile(const std::wstring& path);
    // False where the bytes could not be written.
    bool Write(std::string_view bytes);

  private:
    UniqueFile file_;
};

class Win32ListFileStore : public ListFileStore {
  public:
    std::string ReadAll(const std::wstring& path, std::size_t maxBytes) override {
        return ReadWholeFile(path, maxBytes);
    }
    std::optional<FileStart> Peek(const std::wstring& path, std::size_t headBytes) override {
        return PeekFile(path, headBytes);
    }
    void ReplaceWith(const std::wstring& path, std::string_view bytes) override {
        ReplaceFileWith(path, bytes);
    }
    std::vector<bool> FilesExist(std::span<const std::wstring> paths,
                                 std::chrono::milliseconds limit) override;
};

// The system's ANSI code page (CP_ACP) through WideCharToMultiByte and
// MultiByteToWideChar: no best-fit characters on the way out, no invalid
// sequences on the way in.
class AnsiCodePage : public CodePage {
  public:
    std::optional<std::string> Encode(std::wstring_view text) const override;
    std::optional<std::wstring> Decode(std::string_view bytes) const override;
};

} // namespace varno::win
