// Checks of a released varno.exe and of what its installer leaves behind, run
// under Wine by tests/release/release-test.sh and as plain tests:
//   varno_release_probe version <exe> <x.y.z>   the version resource
//   varno_release_probe starts <exe>            it starts and shows its main window
//   varno_release_probe installed <dir> <x.y.z> HKCU uninstall entry and Start-menu shortcut
//                                               (<dir> may hold %VARIABLES%)
//   varno_release_probe removed                 neither of them is left
//   varno_release_probe refused <exe> <command> while <exe> runs, the command ends with
//                                               exit code 2 and leaves <exe> alone
//   varno_release_probe /S ...                  another program's uninstaller, started the
//                                               way an installer starts one: it leaves
//                                               ran.txt beside itself
// Each prints what is wrong and exits with the number of failed checks.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "app/Maker.h"
#include "platform/Com.h"
#include "support/ChildProcess.h"

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using varno::win::ComPtr;

const std::wstring ProductName = L"批量清理";
const std::wstring FileDescription = L"批量清理 — CAD 图纸批量清理工具";
const std::wstring MainWindowTitle = L"批量清理 V2.5";
const std::wstring UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\varno";

int failures = 0;

// Messages go out in UTF-8, whatever the C runtime's locale.
void Print(std::FILE* to, const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), to);
    std::fflush(to);
}

void Fail(const std::wstring& what) {
    ++failures;
    Print(stderr, L"FAIL: " + what + L"\n");
}

void Expect(bool ok, const std::wstring& what) {
    if (!ok)
        Fail(what);
}

void ExpectEqual(const std::wstring& actual, const std::wstring& expected,
                 const std::wstring& what) {
    if (actual != expected)
        Fail(what + L": \"" + actual + L"\", expected \"" + expected + L"\"");
}

// A Unix path (ctest's) names the same file through Wine's drive Z:.
std::wstring WindowsPath(std::wstring p) {
    if (!p.empty() && p[0] == L'/') {
        for (auto& c : p)
            if (c == L'/')
                c = L'\\';
        p = L"Z:" + p;
    }
    return p;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// --- version ---------------------------------------------------------------

void CheckVersion(const std::wstring& exe, const std::wstring& version) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    if (size == 0)
        return Fail(L"no version resource in " + exe);
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(exe.c_str(), 0, size, data.data()))
        return Fail(L"GetFileVersionInfoW failed on " + exe);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed)
        return Fail(L"no fixed file information");
    const auto quad = [](DWORD ms, DWORD ls) {
        return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." +
               std::to_wstring(HIWORD(ls)) + L"." + std::to_wstring(LOWORD(ls));
    };
    ExpectEqual(quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version + L".0",
                L"file version");
    ExpectEqual(quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version + L".0",
                L"product version");
    Expect(fixed->dwFileType == VFT_APP, L"file type is not an application");

    struct Translation {
        WORD language, codePage;
    }* tr = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr),
                        &len) ||
        len < sizeof *tr)
        return Fail(L"no translation table");
    Expect(tr->language == 0x0804 && tr->codePage == 1200,
           L"translation " + std::to_wstring(tr->language) + L"/" + std::to_wstring(tr->codePage) +
               L", expected 0x0804/1200");

    const auto text = [&](const wchar_t* name) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
        wchar_t* value = nullptr;
        if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) ||
            !value)
            return std::wstring(L"<missing>");
        return std::wstring(value);
    };
    ExpectEqual(text(L"ProductName"), ProductName, L"ProductName");
    ExpectEqual(text(L"FileDescription"), FileDescription, L"FileDescription");
    ExpectEqual(text(L"CompanyName"), std::wstring(varno::maker::Organisation), L"CompanyName");
    const std::wstring copyright = text(L"LegalCopyright");
    Expect(copyright.find(varno::maker::Author) != std::wstring::npos,
           L"LegalCopyright \"" + copyright + L"\" does not name the author");
    ExpectEqual(text(L"FileVersion"), version, L"FileVersion text");
    ExpectEqual(text(L"ProductVersion"), version, L"ProductVersion text");
    ExpectEqual(text(L"OriginalFilename"), L"varno.exe", L"OriginalFilename");
}

// --- starts ------------------------------------------------------------------

void CheckStarts(const std::wstring& exe) {
    varno::test::ChildProcess program(exe);
    if (!program.Started())
        return Fail(L"cannot start " + exe);
    Expect(program.WaitForWindow(MainWindowTitle, 30000) != nullptr,
           L"no main window \"" + MainWindowTitle + L"\" from " + exe);
}

// --- installed / removed ----------------------------------------------------

struct KeyCloser {
    void operator()(HKEY k) const { RegCloseKey(k); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

Key OpenUninstallKey() {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, UninstallKey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return nullptr;
    return Key(k);
}

std::wstring ReadText(HKEY k, const wchar_t* name) {
    wchar_t buf[2048] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (RegGetValueW(k, nullptr, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buf;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR p = nullptr;
    std::wstring s;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &p)))
        s = p;
    CoTaskMemFree(p);
    return s;
}

std::wstring StartMenuShortcut() {
    return KnownFolder(FOLDERID_Programs) + L"\\" + ProductName + L".lnk";
}
std::wstring DesktopShortcut() {
    return KnownFolder(FOLDERID_Desktop) + L"\\" + ProductName + L".lnk";
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ShortcutTarget(const std::wstring& lnk) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid())))
        return L"<no shell link object>";
    auto file = link.As<IPersistFile>();
    if (!file || FAILED(file->Load(lnk.c_str(), STGM_READ)))
        return L"<unreadable>";
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)))
        return L"<no target>";
    return target;
}

void CheckInstalled(const std::wstring& folder, const std::wstring& version) {
    wchar_t expanded[MAX_PATH] = {};
    ExpandEnvironmentStringsW(folder.c_str(), expanded, MAX_PATH);
    const std::wstring dir = expanded;
    const std::wstring exe = dir + L"\\varno.exe";
    Expect(Exists(exe), exe + L" is missing");
    Key k = OpenUninstallKey();
    if (!k)
        return Fail(L"no uninstall entry HKCU\\" + UninstallKey);
    ExpectEqual(ReadText(k.get(), L"DisplayName"), ProductName, L"DisplayName");
    ExpectEqual(ReadText(k.get(), L"DisplayVersion"), version, L"DisplayVersion");
    ExpectEqual(ReadText(k.get(), L"Publisher"), std::wstring(varno::maker::Organisation),
                L"Publisher");
    ExpectEqual(ReadText(k.get(), L"DisplayIcon"), exe + L",0", L"DisplayIcon");
    ExpectEqual(ReadText(k.get(), L"InstallLocation"), dir, L"InstallLocation");
    ExpectEqual(ReadText(k.get(), L"UninstallString"), L"\"" + dir + L"\\uninstall.exe\"",
                L"UninstallString");
    DWORD kb = 0, size = sizeof kb;
    Expect(RegGetValueW(k.get(), nullptr, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &kb,
                        &size) == ERROR_SUCCESS,
           L"no EstimatedSize");
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &fa);
    Expect(kb >= fa.nFileSizeLow / 1024 && kb < 64 * 1024,
           L"EstimatedSize " + std::to_wstring(kb) + L" KB does not fit varno.exe");

    const std::wstring lnk = StartMenuShortcut();
    if (!Exists(lnk))
        return Fail(L"no Start-menu shortcut " + lnk);
    const std::wstring target = ShortcutTarget(lnk);
    Expect(SamePath(target, exe), L"the Start-menu shortcut points at " + target);
    Expect(!Exists(DesktopShortcut()), L"a desktop shortcut was made without being chosen");
}

void CheckRemoved() {
    Expect(!OpenUninstallKey(), L"the uninstall entry is still there");
    Expect(!Exists(StartMenuShortcut()), L"the Start-menu shortcut is still there");
    Expect(!Exists(DesktopShortcut()), L"a desktop shortcut is there");
}

// --- refused -----------------------------------------------------------------

// The file's identity and change time: a rewrite shows in either (the
// installer sets a copied file's last-write time to the packaged one's).
std::wstring FileState(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return L"<missing>";
    BY_HANDLE_FILE_INFORMATION id{};
    FILE_BASIC_INFO basic{};
    GetFileInformationByHandle(h, &id);
    GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    return std::to_wstring(id.nFileIndexHigh) + L":" + std::to_wstring(id.nFileIndexLow) + L" " +
           std::to_wstring(basic.ChangeTime.QuadPart) + L" " + std::to_wstring(id.nFileSizeLow);
}

void CheckRefused(const std::wstring& exe, std::wstring command) {
    varno::test::ChildProcess program(exe);
    if (!program.Started() || !program.WaitForWindow(MainWindowTitle, 30000))
        return Fail(L"cannot start " + exe);
    const std::wstring before = FileState(exe);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return Fail(L"cannot run " + command);
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        Fail(L"still running after 60 s: " + command);
    } else {
        GetExitCodeProcess(pi.hProcess, &code);
        // 2: the script ended itself (NSIS's exit code for an abort).
        Expect(code == 2, L"exit code " + std::to_wstring(code) +
                              L" while the program runs, expected 2: " + command);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const std::wstring after = FileState(exe);
    Expect(after == before, exe + L" was touched while it ran: " + before + L" -> " + after);
    DWORD ended = 0;
    Expect(!program.WaitForExit(0, &ended), L"the running program was ended");
}

int Usage() {
    Print(stderr, L"usage: varno_release_probe version <exe> <x.y.z> | starts <exe> | "
                  L"installed <dir> <x.y.z> | removed | refused <exe> <command line>\n");
    return 100;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    const std::wstring what = argv[1];
    if (what == L"/S") {
        wchar_t self[MAX_PATH] = {};
        std::wstring ran(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
        ran = ran.substr(0, ran.find_last_of(L'\\') + 1) + L"ran.txt";
        CloseHandle(CreateFileW(ran.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return 0;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (what == L"version" && argc == 4)
        CheckVersion(WindowsPath(argv[2]), argv[3]);
    else if (what == L"starts" && argc == 3)
        CheckStarts(WindowsPath(argv[2]));
    else if (what == L"installed" && argc == 4)
        CheckInstalled(argv[2], argv[3]);
    else if (what == L"removed" && argc == 2)
        CheckRemoved();
    else if (what == L"refused" && argc == 4)
        CheckRefused(WindowsPath(argv[2]), argv[3]);
    else
        return Usage();
    CoUninitialize();
    if (failures == 0)
        Print(stdout, L"ok: " + what + L"\n");
    return failures;
}
