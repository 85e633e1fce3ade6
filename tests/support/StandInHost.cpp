#include "support/StandInHost.h"

#include "Vcad.h"
#include "platform/Com.h"

#include <ole2.h>

#include <atomic>
#include <filesystem>
#include <sstream>

namespace varno::test {
namespace {

using win::ComPtr;

std::wstring Widen(const std::string& s) {
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    const BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
    return ok && put == bytes.size();
}

// Waits for a handle while the thread's messages and COM calls are served.
bool Wait(HANDLE h, DWORD ms) {
    DWORD index = 0;
    return SUCCEEDED(CoWaitForMultipleHandles(0, ms, 1, &h, &index));
}

// Asks the running host to quit, from a thread of its own: a host that
// hangs must not hang the test too.
DWORD WINAPI QuitRunningHost(void*) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComPtr<IUnknown> app;
        ComPtr<IDispatch> d;
        if (SUCCEEDED(GetActiveObject(vcad::Clsid, nullptr, app.Put())) &&
            SUCCEEDED(app->QueryInterface(IID_IDispatch, d.PutVoid()))) {
            LPOLESTR name = const_cast<LPOLESTR>(L"Quit");
            DISPID id = 0;
            DISPPARAMS none{};
            if (SUCCEEDED(d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)))
                d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr);
        }
    }
    CoUninitialize();
    return 0;
}

} // namespace

StandInHost::StandInHost() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"vcad-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(folder_.c_str(), nullptr);
    journal_ = Path(L"journal.txt");
    switches_ = Path(L"switches.txt");
    SetEnvironmentVariableW(vcad::EnvJournal, journal_.c_str());
    SetEnvironmentVariableW(vcad::EnvSwitches, switches_.c_str());
    SetEnvironmentVariableW(vcad::EnvRefuseStart, nullptr);
}

StandInHost::~StandInHost() {
    DeleteFileW(switches_.c_str()); // a busy host would refuse Quit
    EndAll();
    SetEnvironmentVariableW(vcad::EnvJournal, nullptr);
    SetEnvironmentVariableW(vcad::EnvSwitches, nullptr);
    SetEnvironmentVariableW(vcad::EnvRefuseStart, nullptr);
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_, ec))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL); // read-only ones too
    std::filesystem::remove_all(folder_, ec);
}

std::wstring StandInHost::Path(std::wstring_view name) const {
    return folder_ + L"\\" + std::wstring(name);
}

std::wstring StandInHost::WriteFile(std::wstring_view name, std::string_view bytes) const {
    const std::wstring path = Path(name);
    WriteBytes(path, bytes);
    return path;
}

std::wstring StandInHost::WriteDrawing(std::wstring_view name, std::string_view body) const {
    return WriteFile(name, DrawingBytes(body));
}

std::string StandInHost::DrawingBytes(std::string_view body) {
    return std::string(vcad::DrawingMark) + "\n" + std::string(body);
}

std::string StandInHost::ReadFile(const std::wstring& path) {
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    char buf[8192];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        bytes.append(buf, got);
    CloseHandle(f);
    return bytes;
}

std::vector<std::wstring> StandInHost::Journal() const {
    std::vector<std::wstring> lines;
    std::istringstream in(ReadFile(journal_));
    for (std::string line; std::getline(in, line);)
        lines.push_back(Widen(line));
    return lines;
}

std::vector<std::wstring> StandInHost::Calls() const {
    std::vector<std::wstring> calls;
    for (auto& line : Journal())
        if (!line.starts_with(L"Start|") && line != L"Rejected" && line != L"Exit")
            calls.push_back(std::move(line));
    return calls;
}

void StandInHost::Switch(std::string_view text) const {
    if (text.empty())
        DeleteFileW(switches_.c_str());
    else
        WriteBytes(switches_, text);
}

void StandInHost::RefuseStart(bool refuse) const {
    SetEnvironmentVariableW(vcad::EnvRefuseStart, refuse ? L"1" : nullptr);
}

DWORD StandInHost::ProcessId() {
    const HWND w = FindWindowW(vcad::WindowClass, nullptr);
    DWORD pid = 0;
    if (w)
        GetWindowThreadProcessId(w, &pid);
    return pid;
}

bool StandInHost::WaitForExit(DWORD timeoutMs) {
    const DWORD pid = ProcessId();
    if (!pid)
        return true;
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h)
        return ProcessId() == 0;
    const bool ended = Wait(h, timeoutMs);
    CloseHandle(h);
    return ended;
}

bool StandInHost::EndAll(DWORD waitMs) {
    if (!ProcessId())
        return false;
    if (HANDLE t = CreateThread(nullptr, 0, QuitRunningHost, nullptr, 0, nullptr)) {
        Wait(t, 5000);
        CloseHandle(t);
    }
    if (WaitForExit(waitMs))
        return false;
    bool killed = false;
    for (int round = 0; round < 10; ++round) {
        const DWORD pid = ProcessId();
        if (!pid)
            break;
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            TerminateProcess(h, 9);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
            killed = true;
        }
        Sleep(50);
    }
    if (killed)
        RestartRpcss();
    return killed;
}

void StandInHost::RestartRpcss() {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE svc =
        scm ? OpenServiceW(scm, L"RpcSs", SERVICE_STOP | SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS st{};
    if (svc && ControlService(svc, SERVICE_CONTROL_STOP, &st)) {
        for (int i = 0; i < 50 && st.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(100);
            QueryServiceStatus(svc, &st);
        }
    }
    if (svc)
        CloseServiceHandle(svc);
    if (scm)
        CloseServiceHandle(scm);
}

HostUnregistered::HostUnregistered() {
    wchar_t buf[64];
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CLASSES_ROOT, L"AutoCAD.Application\\CLSID", nullptr, RRF_RT_REG_SZ,
                     nullptr, buf, &size) == ERROR_SUCCESS)
        clsid_ = buf;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"AutoCAD.Application");
}

HostUnregistered::~HostUnregistered() {
    if (clsid_.empty())
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"AutoCAD.Application\\CLSID", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid_.c_str()),
                   static_cast<DWORD>((clsid_.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    const std::wstring name = L"vcad stand-in CAD host";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L"AutoCAD.Application", nullptr, REG_SZ, name.c_str(),
                    static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
}

} // namespace varno::test
