#include "platform/TextFile.h"

#include <windows.h>

#include "app/FileError.h"
#include "app/Folders.h"
#include "platform/Win32DrawingFiles.h"
#include "platform/Handle.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

namespace varno::win {

// The file errors the portable mapping names, as the system defines them.
static_assert(win32err::FileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(win32err::PathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(win32err::TooManyOpenFiles == ERROR_TOO_MANY_OPEN_FILES);
static_assert(win32err::AccessDenied == ERROR_ACCESS_DENIED);
static_assert(win32err::NotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(win32err::OutOfMemory == ERROR_OUTOFMEMORY);
static_assert(win32err::InvalidDrive == ERROR_INVALID_DRIVE);
static_assert(win32err::WriteProtect == ERROR_WRITE_PROTECT);
static_assert(win32err::NotReady == ERROR_NOT_READY);
static_assert(win32err::WriteFault == ERROR_WRITE_FAULT);
static_assert(win32err::ReadFault == ERROR_READ_FAULT);
static_assert(win32err::SharingViolation == ERROR_SHARING_VIOLATION);
static_assert(win32err::LockViolation == ERROR_LOCK_VIOLATION);
static_assert(win32err::HandleDiskFull == ERROR_HANDLE_DISK_FULL);
static_assert(win32err::BadNetPath == ERROR_BAD_NETPATH);
static_assert(win32err::BadNetName == ERROR_BAD_NET_NAME);
static_assert(win32err::FileExists == ERROR_FILE_EXISTS);
static_assert(win32err::DiskFull == ERROR_DISK_FULL);
static_assert(win32err::InvalidName == ERROR_INVALID_NAME);
static_assert(win32err::BadPathName == ERROR_BAD_PATHNAME);
static_assert(win32err::AlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(win32err::FileNameExcedRange == ERROR_FILENAME_EXCED_RANGE);
static_assert(win32err::Directory == ERROR_DIRECTORY);

namespace {

[[noreturn]] void RaiseLastError(std::wstring_view what, const std::wstring& path) {
    const DWORD err = GetLastError();
    throw FileError(err, std::wstring(what) + L": " + path);
}

[[noreturn]] void RaiseAccessError(const std::wstring& path) {
    throw Error(errnum::PathFileAccess, L"Path/File access error: " + path);
}

// The text a Win32 call writes into a buffer of the size it is given: the
// call returns the length it wrote, the size it needs (NUL included) when the
// buffer is too small, or 0 when it fails (GetLastError says why).
template <class Call> std::optional<std::wstring> TextOf(Call&& call) {
    for (DWORD size = MAX_PATH;;) {
        std::wstring text(size, L'\0');
        const DWORD n = call(text.data(), size);
        if (n == 0)
            return std::nullopt;
        if (n < size) {
            text.resize(n);
            return text;
        }
        size = n;
    }
}

// The full path of the file a save writes, in LongPathForm, so that the
// names beside it fit wherever it fits. Where a file is there, it is the file
// that is there in the end: a save through a symbolic link writes to the
// link's target and leaves the link a link.
std::wstring SaveTarget(const std::wstring& path) {
    const std::optional<std::wstring> full = TextOf([&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
    });
    if (!full)
        RaiseLastError(L"Cannot save", path);
    std::wstring target = LongPathForm(*full);
    const UniqueFile file(CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    // Nothing there yet; or what is there cannot be opened, and the save says why.
    if (!file)
        return target;
    if (std::optional<std::wstring> final = TextOf([&](wchar_t* buffer, DWORD size) {
            return GetFinalPathNameByHandleW(file.Get(), buffer, size,
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        }))
        return std::move(*final);
    // A link is not replaced by a plain file: without its target, no save.
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        throw FileError(error, L"Cannot follow the link: " + path);
    return target;
}

// Removes the new file unless it has taken the target's place.
class TempFile {
  public:
    explicit TempFile(std::wstring path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    TempFile(TempFile&& o) noexcept : path_(std::exchange(o.path_, {})) {}
    TempFile& operator=(TempFile&&) = delete;
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

  private:
    std::wstring path_;
};

// A file of a new name, open for writing.
struct NewFile {
    TempFile path;
    UniqueFile file; // closed before the path removes the file
};

// Creates a file of a new name beside the target (a full path).
NewFile CreateTempFile(const std::wstring& target) {
    const unsigned long long seed =
        (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (unsigned attempt = 0;; ++attempt) {
        std::wstring path = NameBeside(
            target, L"~varno" + std::to_wstring(seed + attempt * 0x9E3779B9ull) + L".tmp");
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return {TempFile(std::move(path)), std::move(file)};
        const DWORD err = GetLastError();
        if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || attempt >= 100)
            throw FileError(err, L"Cannot create a file beside " + target);
    }
}

// The target's attributes and creation time on the new file, so that they
// stay where the file system cannot replace a file (and where ReplaceFileW
// does not carry them over itself, as under Wine).
void TakeOverIdentity(HANDLE file, const WIN32_FILE_ATTRIBUTE_DATA& target) {
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO info{};
    info.CreationTime.LowPart = target.ftCreationTime.dwLowDateTime;
    info.CreationTime.HighPart = static_cast<LONG>(target.ftCreationTime.dwHighDateTime);
    info.FileAttributes = target.dwFileAttributes & kept;
    if (info.FileAttributes == 0)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    // Zero times stay as they are. A failure only loses what ReplaceFileW
    // keeps anyway.
    SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info);
}

// The volume has no ReplaceFileW: the new file is moved over the old one.
bool CannotReplaceHere(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_INVALID_PARAMETER || error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Replaces the existing target with the new file through ReplaceFileW, which
// keeps the target's attributes, creation time, security and streams (not its
// hard links: the new file has a file ID of its own). The old
// file goes to a backup name first; should the new one then fail to take its
// place, it is put back. False when the volume cannot replace files; raises
// on every other failure, with the target as it was.
bool ReplaceExisting(const std::wstring& path, TempFile& replacement) {
    TempFile backup = std::move(CreateTempFile(path).path); // its name only, closed
    if (ReplaceFileW(path.c_str(), replacement.Path().c_str(), backup.Path().c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true; // the backup holds the old file and is removed
    DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // The old file has the backup name: it goes back, and is never
        // removed, not even when it cannot go back.
        const std::wstring old = backup.Path();
        backup.Keep();
        MoveFileExW(old.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (CannotReplaceHere(error))
        return false;
    // The target could not be moved aside or the new file not into place: in
    // use by another program, or access denied.
    if (error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
        error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        error = ERROR_ACCESS_DENIED;
    throw FileError(error, L"Cannot replace: " + path);
}

// The size of an opened file, which must be one on a disk: a console, pipe or
// device would wait for input that never comes.
std::uint64_t DiskFileSize(const UniqueFile& file, const std::wstring& path) {
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        RaiseAccessError(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        RaiseLastError(L"Cannot read", path);
    return static_cast<std::uint64_t>(size.QuadPart);
}

} // namespace

std::string ReadWholeFile(const std::wstring& path, std::size_t maxBytes) {
    if (path.empty())
        RaiseAccessError(path);
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        RaiseLastError(L"Cannot open", path);
    const std::uint64_t size = DiskFileSize(file, path);
    if (size > maxBytes)
        throw Error(errnum::OutOfMemory, L"File too large: " + path);

    // Read to the end, also when the file has grown since its size was taken.
    std::string data(static_cast<size_t>(size), '\0');
    size_t filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() >= maxBytes) {
                char probe = 0;
                DWORD got = 0;
                if (ReadFile(file.Get(), &probe, 1, &got, nullptr) && got == 0)
                    break;
                throw Error(errnum::OutOfMemory, L"File too large: " + path);
            }
            data.resize(std::min(maxBytes, std::max<size_t>(data.size() * 2, 4096)));
        }
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - filled, 1u << 24));
        DWORD got = 0;
        if (!ReadFile(file.Get(), data.data() + filled, chunk, &got, nullptr))
            RaiseLastError(L"Cannot read", path);
        if (got == 0)
            break;
        filled += got;
    }
    data.resize(filled);
    return data;
}

std::optional<FileStart> PeekFile(const std::wstring& path, std::size_t headBytes) {
    if (path.empty())
        RaiseAccessError(path);
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD err = GetLastError();
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        RaiseLastError(L"Cannot open", path);
    }
    FileStart start{DiskFileSize(file, path), std::string(headBytes, '\0')};
    DWORD got = 0;
    for (size_t filled = 0; filled < headBytes; filled += got) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(headBytes - filled, 1u << 24));
        if (!ReadFile(file.Get(), start.head.data() + filled, chunk, &got, nullptr))
            RaiseLastError(L"Cannot read", path);
        if (got == 0) {
            start.head.resize(filled);
            break;
        }
    }
    return start;
}

FlushedFile::FlushedFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_)
        RaiseLastError(L"Cannot write", path);
}

bool FlushedFile::Write(std::string_view bytes) {
    DWORD written = 0;
    return WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size() && FlushFileBuffers(file_.Get());
}

void ReplaceFileWith(const std::wstring& path, std::string_view bytes) {
    if (path.empty())
        RaiseAccessError(path);
    const std::wstring target = SaveTarget(path);
    // A folder or a read-only file cannot be opened for output: refused before
    // anything is written.
    WIN32_FILE_ATTRIBUTE_DATA old{};
    const bool exists = GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old) != FALSE;
    if (exists && (old.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        RaiseAccessError(path);

    auto [temp, file] = CreateTempFile(target);
    for (size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr))
            RaiseLastError(L"Cannot write", path);
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            RaiseLastError(L"Cannot write", path);
        }
        done += written;
    }
    if (exists)
        TakeOverIdentity(file.Get(), old);
    // Written data that the system has not yet put on the disk can fail
    // only at the flush or the close, which must both succeed.
    if (!FlushFileBuffers(file.Get()) || !CloseHandle(file.Detach()))
        RaiseLastError(L"Cannot write", path);
    if (exists && ReplaceExisting(target, temp)) {
        temp.Keep();
        return;
    }
    if (!MoveFileExW(temp.Path().c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseLastError(L"Cannot replace", path);
    temp.Keep();
}

std::vector<bool> Win32ListFileStore::FilesExist(std::span<const std::wstring> paths,
                                                 std::chrono::milliseconds limit) {
    return FilesExistWithin(paths, limit);
}

std::optional<std::string> AnsiCodePage::Encode(std::wstring_view text) const {
    if (text.empty())
        return std::string();
    if (text.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(text.size());
    // A UTF-8 system code page reports unrepresentable text as an error; the
    // others substitute a default character and say so.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int size =
        WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, used);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, out.data(), size, nullptr, used) !=
            size ||
        usedDefault)
        return std::nullopt;
    return out;
}

std::optional<std::wstring> AnsiCodePage::Decode(std::string_view bytes) const {
    if (bytes.empty())
        return std::wstring();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    const int size =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::wstring out(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, out.data(), size) !=
        size)
        return std::nullopt;
    return out;
}

} // namespace varno::win
