#include "support/StandInHost.h"

#include "Vcad.h"
#include "app/Unicode.h"
#include "platform/Com.h"

#include <ole2.h>

#include <atomic>
#include <filesystem>
#include <sstream>

namespace varno::test {
namespace {

using win::ComPtr;

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

// Asks every running host to quit, from a thread of its own: a host that
// hangs must not hang the test too.
DWORD WINAPI QuitRunningHosts(void*) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (const vcad::Identity& identity : vcad::Identities) {
        ComPtr<IUnknown> app;
        ComPtr<IDispatch> d;
        if (SUCCEEDED(GetActiveObject(identity.clsid, nullptr, app.Put())) &&
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
        lines.push_back(Utf8ToWide(line).value_or(L"<?>")); // <?>: a line that is not UTF-8
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

std::vector<DWORD> StandInHost::ProcessIds() {
    std::vector<DWORD> ids;
    for (HWND w = FindWindowExW(nullptr, nullptr, vcad::WindowClass, nullptr); w;
         w = FindWindowExW(nullptr, w, vcad::WindowClass, nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        ids.push_back(pid);
    }
    return ids;
}

bool StandInHost::WaitForExit(DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (const DWORD pid : ProcessIds()) {
        HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (!h)
            continue;
        const ULONGLONG now = GetTickCount64();
        const bool ended = now < end && Wait(h, static_cast<DWORD>(end - now));
        CloseHandle(h);
        if (!ended)
            return false;
    }
    return ProcessId() == 0;
}

bool StandInHost::EndAll(DWORD waitMs) {
    if (!ProcessId())
        return false;
    if (HANDLE t = CreateThread(nullptr, 0, QuitRunningHosts, nullptr, 0, nullptr)) {
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

namespace {

std::wstring ClassKey(const vcad::Identity& identity) {
    wchar_t clsid[64];
    StringFromGUID2(identity.clsid, clsid, 64);
    return std::wstring(L"CLSID\\") + clsid;
}

void SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value,
             DWORD type = REG_SZ) {
    RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, type, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring Text(const std::wstring& key) {
    wchar_t buf[1024];
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return {};
    return buf;
}

// The stand-in registered as this identity, launched as server by the
// program of the first identity's registration; an older release's class
// names the identifier of the release registered last as its
// version-independent one.
void Register(const vcad::Identity& identity, const std::wstring& server) {
    wchar_t clsid[64];
    StringFromGUID2(identity.clsid, clsid, 64);
    const std::wstring classKey = ClassKey(identity);
    SetText(identity.progId, nullptr, L"vcad stand-in CAD host");
    SetText(std::wstring(identity.progId) + L"\\CLSID", nullptr, clsid);
    SetText(classKey, nullptr, L"vcad stand-in CAD host");
    SetText(classKey + L"\\ProgID", nullptr, identity.progId);
    if (identity.versionOf)
        SetText(classKey + L"\\VersionIndependentProgID", nullptr, identity.versionOf);
    SetText(classKey + L"\\LocalServer32", nullptr,
            &identity == &vcad::Identities[0]
                ? server
                : server + L" " + std::wstring(vcad::HostSwitch) + identity.progId);
}

void Unregister(const vcad::Identity& identity) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, identity.progId);
    if (&identity != &vcad::Identities[0]) // its class stays, as the prefix has it
        RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(identity).c_str());
}

} // namespace

RegisteredHosts::RegisteredHosts(std::initializer_list<std::wstring_view> progIds)
    : server_(Text(ClassKey(vcad::Identities[0]) + L"\\LocalServer32")) {
    for (const vcad::Identity& identity : vcad::Identities) {
        bool wanted = false;
        for (const std::wstring_view id : progIds)
            wanted = wanted || id == identity.progId;
        if (wanted && !server_.empty())
            Register(identity, server_);
        else
            Unregister(identity);
    }
}

void RegisteredHosts::Leftover(std::wstring_view progId, std::wstring_view command) {
    const vcad::Identity* identity = vcad::IdentityOf(progId);
    if (!identity)
        return;
    Register(*identity, server_);
    SetText(ClassKey(*identity) + L"\\LocalServer32", nullptr, std::wstring(command),
            REG_EXPAND_SZ);
}

RegisteredHosts::~RegisteredHosts() {
    for (const vcad::Identity& identity : vcad::Identities)
        Unregister(identity);
    if (!server_.empty())
        Register(vcad::Identities[0], server_);
}

} // namespace varno::test
