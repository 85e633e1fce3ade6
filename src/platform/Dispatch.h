#pragma once
// Late-bound automation over IDispatch, called the way a scripting client
// calls it: every property get, property put and method call looks the member
// up by name (GetIDsOfNames) and then invokes it. Failures raise varno::Error
// with the runtime's number and description (app/AutomationError.h).
//
// A server that is busy (starting up, saving) may reject calls with
// RPC_E_CALL_REJECTED or RPC_E_SERVERCALL_RETRYLATER. The message filter
// below lets the COM runtime retry such calls for up to a minute; where the
// runtime does not consult the filter (Wine's does not), the calls made here
// retry on their own by the same rule.
#include <windows.h>
#include <oaidl.h>

#include "app/Automation.h"
#include "platform/Com.h"

#include <string>
#include <string_view>

namespace varno::win {

class DispatchObject : public AutoObject {
  public:
    explicit DispatchObject(ComPtr<IDispatch> dispatch);
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // Get and Call invoke with DISPATCH_METHOD | DISPATCH_PROPERTYGET; Put
    // with DISPATCH_PROPERTYPUT (DISPATCH_PROPERTYPUTREF for an object) and
    // the named argument DISPID_PROPERTYPUT.
    Variant Get(std::wstring_view member) override;
    void Put(std::wstring_view member, const Variant& value) override;
    Variant Call(std::wstring_view member, std::initializer_list<Variant> args) override;

    IDispatch* Dispatch() const { return dispatch_.Get(); }

  private:
    Variant Invoke(std::wstring_view member, WORD flags, VariantArray& args, bool put);
    ComPtr<IDispatch> dispatch_;
};

// Registered = CLSIDFromProgID succeeds; attach = CLSIDFromProgID +
// GetActiveObject; launch = CLSIDFromProgID + CoCreateInstance(CLSCTX_SERVER),
// in-process or local server. Launchable and the running program: the
// class's LocalServer32 (platform/ServerRegistry.h) and the session's
// processes (platform/SessionProcesses.h); listed: the running object table.
class ComAutomation : public AutomationRuntime {
  public:
    bool IsRegistered(std::wstring_view progId) override;
    AutoRef AttachRunning(std::wstring_view progId) override;
    AutoRef Launch(std::wstring_view progId) override;
    bool IsLaunchable(std::wstring_view progId) override;
    AutoRef AttachListed(std::wstring_view progId) override;
    bool IsProgramRunning(std::wstring_view progId) override;
};
AutomationRuntime& TheAutomation();

// Told of the automation calls one thread makes (attaching and launching
// included): as each starts, and as it ends.
class CallObserver {
  public:
    virtual void CallStarted() = 0;
    virtual void CallEnded() = 0;

  protected:
    ~CallObserver() = default;
};
// The calling thread's observer from now on; nullptr for none.
void ObserveCalls(CallObserver* observer);

// Values across the boundary. Results of other kinds than the five of
// varno::Variant come back as text when the system can convert them.
void ToVariant(const Variant& value, VARIANT& out);
Variant FromVariant(const VARIANT& value);

// The system's message for an HRESULT, without its line end; empty when it
// has none.
std::wstring SystemMessage(HRESULT hr);
// The runtime error for a failed call; info: the EXCEPINFO of DISP_E_EXCEPTION.
[[noreturn]] void ThrowAutomationError(HRESULT hr, const EXCEPINFO* info = nullptr);

// The UI thread's COM message filter: a rejected outgoing call is retried
// every 100 ms for up to 60 s; a message arriving while a call waits gets the
// default processing (PENDINGMSG_WAITDEFPROCESS); incoming calls are handled.
// Call once on the UI thread after CoInitialize (UiThread does).
void InstallMessageFilter();
IMessageFilter& TheMessageFilter();

} // namespace varno::win
