#pragma once
// The stand-in CAD host (tools/cadhost, vcad.exe) as tests see it: its
// journal and control file in a fresh folder, passed to hosts started from
// now on through the environment (a host launched by COM under Wine
// inherits the launching process's environment, also through varno.exe),
// and the end of every host process when the test is over.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace varno::test {

class StandInHost {
  public:
    // Creates the folder and sets VCAD_JOURNAL and VCAD_FAILURES to files in
    // it; clears VCAD_REFUSE_START.
    StandInHost();
    // Ends any host still running (Quit, else kill), clears the variables,
    // removes the folder with everything in it.
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    const std::wstring& Folder() const { return folder_; }
    std::wstring Path(std::wstring_view name) const;
    // Writes a file into the folder and returns its path.
    std::wstring WriteFile(std::wstring_view name, std::string_view bytes) const;
    // Writes one of the stand-in's own drawings (DrawingBytes), the only
    // files it saves to, and returns its path.
    std::wstring WriteDrawing(std::wstring_view name, std::string_view body) const;
    // The bytes of a stand-in drawing: its mark, a line end, the body.
    static std::string DrawingBytes(std::string_view body);

    // The journal's lines (see tools/cadhost/vcad.cpp for the format).
    std::vector<std::wstring> Journal() const;
    // The journal without the Start, Rejected and Exit lines.
    std::vector<std::wstring> Calls() const;
    // Replaces the control file (switches, one a line, UTF-8; see
    // tools/cadhost/Host.h); an empty text removes it.
    void Switch(std::string_view text) const;
    // A host started from now on exits at once without registering.
    void RefuseStart(bool refuse) const;

    const std::wstring& JournalPath() const { return journal_; }
    const std::wstring& SwitchesPath() const { return switches_; }

    // The process id of a running host, 0 if none.
    static DWORD ProcessId();
    // Those of every running host.
    static std::vector<DWORD> ProcessIds();
    // Waits (pumping COM) for the running hosts to end; true if none is left.
    static bool WaitForExit(DWORD timeoutMs);
    // Ends every running host: Application.Quit, and after waitMs a kill by
    // process id followed by a restart of the RpcSs service. True if a host
    // had to be killed.
    static bool EndAll(DWORD waitMs = 5000);
    // Wine 8 keeps offering the class object of a server that died without
    // revoking it (CoCreateInstance fails with RPC_S_SERVER_UNAVAILABLE);
    // restarting RpcSs forgets it.
    static void RestartRpcss();

    static std::string ReadFile(const std::wstring& path);

  private:
    std::wstring folder_, journal_, switches_;
};

// While it lives, the stand-in is registered as exactly these hosts (see
// vcad::Identities), each under its own class; the destructor puts back the
// prefix's registration, "AutoCAD.Application" alone. The server is the one
// that registration names.
class RegisteredHosts {
  public:
    explicit RegisteredHosts(std::initializer_list<std::wstring_view> progIds);
    ~RegisteredHosts();
    // Registers this identity (one of vcad::Identities) as an uninstalled
    // program leaves it: its class's LocalServer32, a REG_EXPAND_SZ, is this
    // command line, which names a program that is not there.
    void Leftover(std::wstring_view progId, std::wstring_view command);
    RegisteredHosts(const RegisteredHosts&) = delete;
    RegisteredHosts& operator=(const RegisteredHosts&) = delete;

  private:
    std::wstring server_;
};

// No CAD host registered, as on a machine without one.
class HostUnregistered : public RegisteredHosts {
  public:
    HostUnregistered() : RegisteredHosts({}) {}
};

} // namespace varno::test
