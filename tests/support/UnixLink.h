#pragma once
// A symbolic link made on the Unix side, where Wine shows it as a link (a
// folder one as a folder with the reparse-point attribute, a file one as the
// file itself); Wine's CreateSymbolicLinkW makes none. Removed with this
// object.
#include <windows.h>

#include <string>

namespace varno::test {

class UnixLink {
  public:
    // name in folder, leading to target (as ln -s takes it: relative to folder).
    UnixLink(const std::wstring& folder, const wchar_t* name, const wchar_t* target)
        : folder_(folder), name_(name) {
        Run(L"/bin/ln -s " + std::wstring(target) + L" " + name_, true);
    }
    ~UnixLink() { Run(L"/bin/rm " + name_, false); }
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;
    // The link is there (and so is what it leads to).
    bool Made() const {
        return GetFileAttributesW((folder_ + L"\\" + name_).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    // In the folder, so that the names need no Unix path. Wine's handle of a
    // Unix process says nothing of its end: the link is watched for instead.
    void Run(std::wstring command, bool made) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        const std::wstring program = L"Z:" + command.substr(0, command.find(L' '));
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder_.c_str(), &si, &pi))
            return;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        for (int i = 0; i < 100 && Made() != made; ++i)
            Sleep(50);
    }
    std::wstring folder_, name_;
};

} // namespace varno::test
