#include "platform/TextFile.h"

#include <windows.h>

#include "app/FileError.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace varno::win {

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        return !Valid() || CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE)) != FALSE;
    }

  private:
    HANDLE h_;
};

[[noreturn]] void RaiseLastError(std::wstring_view what, const std::wstring& path) {
    const DWORD err = GetLastError();
    throw FileError(err, std::wstring(what) + L": " + path);
}

[[noreturn]] void RaiseAccessError(const std::wstring& path) {
    throw Error(errnum::PathFileAccess, L"Path/File access error: " + path);
}

// The folder part of a path, with its separator ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        return path.substr(0, slash + 1);
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2);
    return {};
}

// Removes the new file unless it has taken the target's place.
class TempFile {
  public:
    explicit TempFile(std::wstring path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

  private:
    std::wstring path_;
};

// Creates a file of a new name in the folder; its handle is returned through h.
TempFile CreateTempFile(const std::wstring& folder, HANDLE& h) {
    const unsigned long long seed =
        (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (unsigned attempt = 0;; ++attempt) {
        std::wstring path =
            folder + L"~varno" + std::to_wstring(seed + attempt * 0x9E3779B9ull) + L".tmp";
        h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return TempFile(std::move(path));
        const DWORD err = GetLastError();
        if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || attempt >= 100)
            throw FileError(err, L"Cannot create a file in " + folder);
    }
}

} // namespace

std::string ReadWholeFile(const std::wstring& path, std::size_t maxBytes) {
    if (path.empty())
        RaiseAccessError(path);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid())
        RaiseLastError(L"Cannot open", path);
    // A console, pipe or device would wait for input that never comes.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        RaiseAccessError(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        RaiseLastError(L"Cannot read", path);
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        throw Error(errnum::OutOfMemory, L"File too large: " + path);

    // Read to the end, also when the file has grown since its size was taken.
    std::string data(static_cast<size_t>(size.QuadPart), '\0');
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

void ReplaceFileWith(const std::wstring& path, std::string_view bytes) {
    if (path.empty())
        RaiseAccessError(path);
    // A folder or a read-only file cannot be opened for output: refused before
    // anything is written.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        RaiseAccessError(path);

    HANDLE h = INVALID_HANDLE_VALUE;
    TempFile temp = CreateTempFile(FolderOf(path), h);
    FileHandle file(h);
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
    if (!FlushFileBuffers(file.Get()) || !file.Close())
        RaiseLastError(L"Cannot write", path);
    if (!MoveFileExW(temp.Path().c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseLastError(L"Cannot replace", path);
    temp.Keep();
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
