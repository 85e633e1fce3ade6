#include "platform/Dispatch.h"

#include "app/AutomationError.h"
#include "platform/ServerRegistry.h"
#include "platform/SessionProcesses.h"

#include <memory>
#include <optional>
#include <vector>

namespace varno::win {

// The HRESULTs the portable mapping names, as the system defines them.
static_assert(hresult::NoInterface == static_cast<std::uint32_t>(E_NOINTERFACE));
static_assert(hresult::OutOfMemory == static_cast<std::uint32_t>(E_OUTOFMEMORY));
static_assert(hresult::InvalidArg == static_cast<std::uint32_t>(E_INVALIDARG));
static_assert(hresult::DispMemberNotFound == static_cast<std::uint32_t>(DISP_E_MEMBERNOTFOUND));
static_assert(hresult::DispParamNotFound == static_cast<std::uint32_t>(DISP_E_PARAMNOTFOUND));
static_assert(hresult::DispTypeMismatch == static_cast<std::uint32_t>(DISP_E_TYPEMISMATCH));
static_assert(hresult::DispUnknownName == static_cast<std::uint32_t>(DISP_E_UNKNOWNNAME));
static_assert(hresult::DispNoNamedArgs == static_cast<std::uint32_t>(DISP_E_NONAMEDARGS));
static_assert(hresult::DispException == static_cast<std::uint32_t>(DISP_E_EXCEPTION));
static_assert(hresult::DispOverflow == static_cast<std::uint32_t>(DISP_E_OVERFLOW));
static_assert(hresult::DispBadIndex == static_cast<std::uint32_t>(DISP_E_BADINDEX));
static_assert(hresult::DispBadParamCount == static_cast<std::uint32_t>(DISP_E_BADPARAMCOUNT));
static_assert(hresult::DispParamNotOptional == static_cast<std::uint32_t>(DISP_E_PARAMNOTOPTIONAL));
static_assert(hresult::DispDivByZero == static_cast<std::uint32_t>(DISP_E_DIVBYZERO));
static_assert(hresult::ClassNotRegistered == static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG));
static_assert(hresult::MonikerUnavailable == static_cast<std::uint32_t>(MK_E_UNAVAILABLE));
static_assert(hresult::InvalidClassString == static_cast<std::uint32_t>(CO_E_CLASSSTRING));
static_assert(hresult::AppNotFound == static_cast<std::uint32_t>(CO_E_APPNOTFOUND));
static_assert(hresult::ServerExecFailure == static_cast<std::uint32_t>(CO_E_SERVER_EXEC_FAILURE));
static_assert(hresult::CallRejected == static_cast<std::uint32_t>(RPC_E_CALL_REJECTED));
static_assert(hresult::ServerCallRetryLater ==
              static_cast<std::uint32_t>(RPC_E_SERVERCALL_RETRYLATER));
static_assert(hresult::ServerDied == static_cast<std::uint32_t>(RPC_E_SERVER_DIED));
static_assert(hresult::ServerDiedDne == static_cast<std::uint32_t>(RPC_E_SERVER_DIED_DNE));
static_assert(hresult::ServerFault == static_cast<std::uint32_t>(RPC_E_SERVERFAULT));
static_assert(hresult::Disconnected == static_cast<std::uint32_t>(RPC_E_DISCONNECTED));
static_assert(hresult::ObjectNotConnected == static_cast<std::uint32_t>(CO_E_OBJNOTCONNECTED));
static_assert(hresult::ServerUnavailable ==
              static_cast<std::uint32_t>(__HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE)));
static_assert(hresult::CallFailed ==
              static_cast<std::uint32_t>(__HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)));
static_assert(hresult::CallFailedDne ==
              static_cast<std::uint32_t>(__HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE)));

namespace {

// How often the COM runtime asked this thread's message filter about a
// rejected call: when it did during a call, the runtime has already waited as
// long as the filter allowed, and the call is not tried again here.
thread_local unsigned t_runtimeRetries = 0;

bool IsRejected(HRESULT hr) {
    return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
}

// Runs one COM call, trying it again while the server rejects it and the
// rejected-call rule allows.
template <class Call> HRESULT Retrying(Call&& call) {
    const unsigned before = t_runtimeRetries;
    HRESULT hr = call();
    if (!IsRejected(hr) || t_runtimeRetries != before)
        return hr;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const int delay = RejectedCallDelay(static_cast<std::uint32_t>(GetTickCount64() - start));
        if (delay < 0)
            return hr;
        Sleep(static_cast<DWORD>(delay));
        hr = call();
        if (!IsRejected(hr))
            return hr;
    }
}

thread_local CallObserver* t_observer = nullptr;

// One call to the server, as the thread's observer sees it.
class ObservedCall {
  public:
    ObservedCall() : observer_(t_observer) {
        if (observer_)
            observer_->CallStarted();
    }
    ~ObservedCall() {
        if (observer_)
            observer_->CallEnded();
    }
    ObservedCall(const ObservedCall&) = delete;
    ObservedCall& operator=(const ObservedCall&) = delete;

  private:
    CallObserver* observer_;
};

// Some SDKs declare the source of VariantCopyInd and VariantChangeType
// without const; neither changes it.
VARIANTARG* Source(const VARIANT& v) {
    return const_cast<VARIANTARG*>(&v);
}

AutoRef Wrap(IDispatch* dispatch) {
    if (!dispatch)
        return AutoRef();
    return std::make_shared<DispatchObject>(ComPtr<IDispatch>::From(dispatch));
}

AutoRef WrapUnknown(IUnknown* unknown) {
    if (!unknown)
        return AutoRef();
    ComPtr<IDispatch> dispatch;
    const HRESULT hr =
        Retrying([&] { return unknown->QueryInterface(IID_IDispatch, dispatch.PutVoid()); });
    if (FAILED(hr))
        ThrowAutomationError(hr);
    return std::make_shared<DispatchObject>(std::move(dispatch));
}

// One object for the life of the process. Its methods only count and
// compute: none can raise, as noexcept says.
class MessageFilter final : public UncountedComObject<IMessageFilter> {
  public:
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD,
                                               LPINTERFACEINFO) noexcept override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs,
                                              DWORD rejectType) noexcept override {
        ++t_runtimeRetries;
        if (rejectType != SERVERCALL_RETRYLATER && rejectType != SERVERCALL_REJECTED)
            return static_cast<DWORD>(-1);
        const int delay = RejectedCallDelay(elapsedMs);
        return delay < 0 ? static_cast<DWORD>(-1) : static_cast<DWORD>(delay);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) noexcept override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};

} // namespace

// ---- values

void ToVariant(const Variant& value, VARIANT& out) {
    VariantClear(&out);
    struct Visitor {
        VARIANT& v;
        void operator()(std::monostate) const { v.vt = VT_EMPTY; }
        void operator()(bool b) const {
            v.vt = VT_BOOL;
            v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        }
        void operator()(std::int16_t n) const {
            v.vt = VT_I2;
            v.iVal = n;
        }
        void operator()(std::int32_t n) const {
            v.vt = VT_I4;
            v.lVal = n;
        }
        void operator()(std::int64_t n) const {
            v.vt = VT_I8;
            v.llVal = n;
        }
        void operator()(const std::wstring& s) const {
            v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
            if (!v.bstrVal)
                throw RuntimeError(errnum::OutOfMemory);
            v.vt = VT_BSTR;
        }
        void operator()(const AutoRef& object) const {
            IDispatch* dispatch = nullptr;
            if (object) {
                const auto* d = dynamic_cast<const DispatchObject*>(object.get());
                if (!d)
                    throw RuntimeError(errnum::TypeMismatch);
                dispatch = d->Dispatch();
                dispatch->AddRef();
            }
            v.vt = VT_DISPATCH;
            v.pdispVal = dispatch;
        }
    };
    std::visit(Visitor{out}, value);
}

Variant FromVariant(const VARIANT& value) {
    if (value.vt & VT_BYREF) {
        ComVariant direct;
        const HRESULT hr = VariantCopyInd(direct.Put(), Source(value));
        if (FAILED(hr))
            ThrowAutomationError(hr);
        return FromVariant(direct.Get());
    }
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return Variant();
    case VT_BOOL:
        return Variant(value.boolVal != VARIANT_FALSE);
    case VT_BSTR:
        return Variant(value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                                     : std::wstring());
    case VT_DISPATCH:
        return Variant(Wrap(value.pdispVal));
    case VT_UNKNOWN:
        return Variant(WrapUnknown(value.punkVal));
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: {
        // 32 bits where the value fits, else 64 (a 64-bit host's window handle).
        ComVariant n;
        if (SUCCEEDED(VariantChangeType(n.Put(), Source(value), 0, VT_I4)))
            return Variant(static_cast<std::int32_t>(n.Get().lVal));
        const HRESULT hr = VariantChangeType(n.Put(), Source(value), 0, VT_I8);
        if (FAILED(hr))
            ThrowAutomationError(hr);
        return Variant(static_cast<std::int64_t>(n.Get().llVal));
    }
    default: {
        ComVariant text;
        const HRESULT hr = VariantChangeType(text.Put(), Source(value), 0, VT_BSTR);
        if (FAILED(hr))
            throw RuntimeError(errnum::TypeMismatch);
        return FromVariant(text.Get());
    }
    }
}

// ---- errors

std::wstring SystemMessage(HRESULT hr) {
    DWORD code = static_cast<DWORD>(hr);
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32)
        code = HRESULT_CODE(hr);
    wchar_t buffer[1024];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, ARRAYSIZE(buffer), nullptr);
    // Without the line end the system's texts close with.
    while (n > 0 && (buffer[n - 1] == L'\n' || buffer[n - 1] == L'\r' || buffer[n - 1] == L' '))
        --n;
    return std::wstring(buffer, n);
}

void ThrowAutomationError(HRESULT hr, const EXCEPINFO* info) {
    AutomationFailure failure;
    failure.hr = static_cast<std::uint32_t>(hr);
    if (hr == DISP_E_EXCEPTION && info) {
        failure.wCode = info->wCode;
        failure.scode = static_cast<std::uint32_t>(info->scode);
        if (info->bstrDescription)
            failure.description.assign(info->bstrDescription, SysStringLen(info->bstrDescription));
    }
    throw AutomationError(
        failure, [](std::uint32_t code) { return SystemMessage(static_cast<HRESULT>(code)); });
}

// ---- objects

DispatchObject::DispatchObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

void ObserveCalls(CallObserver* observer) {
    t_observer = observer;
}

Variant DispatchObject::Invoke(std::wstring_view member, WORD flags, VariantArray& args, bool put) {
    const ObservedCall observed;
    std::wstring name(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = Retrying(
        [&] { return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); });
    if (FAILED(hr))
        ThrowAutomationError(hr);

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = args.Data();
    params.cArgs = static_cast<UINT>(args.Size());
    if (put) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    ComVariant result;
    ExcepInfo info;
    UINT argError = 0;
    hr = Retrying([&] {
        return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 put ? nullptr : result.Put(), info.Put(), &argError);
    });
    if (FAILED(hr))
        ThrowAutomationError(hr, &info.Filled());
    return put ? Variant() : FromVariant(result.Get());
}

Variant DispatchObject::Get(std::wstring_view member) {
    VariantArray none(0);
    return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, false);
}

void DispatchObject::Put(std::wstring_view member, const Variant& value) {
    VariantArray args(1);
    ToVariant(value, args[0]);
    const bool object = std::holds_alternative<AutoRef>(value);
    Invoke(member, object ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, args, true);
}

Variant DispatchObject::Call(std::wstring_view member, std::initializer_list<Variant> args) {
    // DISPPARAMS holds the arguments last to first.
    VariantArray reversed(args.size());
    std::size_t i = args.size();
    for (const auto& a : args)
        ToVariant(a, reversed[--i]);
    return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, reversed, false);
}

// ---- the runtime

namespace {
CLSID ClassOf(std::wstring_view progId) {
    const std::wstring id(progId);
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(id.c_str(), &clsid);
    if (FAILED(hr))
        ThrowAutomationError(hr);
    return clsid;
}

std::optional<CLSID> RegisteredClass(std::wstring_view progId) {
    const std::wstring id(progId);
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(id.c_str(), &clsid)))
        return std::nullopt;
    return clsid;
}

std::optional<std::wstring> ProgramOf(std::wstring_view progId) {
    const std::optional<CLSID> clsid = RegisteredClass(progId);
    return clsid ? LocalServerProgram(*clsid) : std::nullopt;
}

// The class an entry of the running object table stands for: an application
// lists itself there with RegisterActiveObject, as the item moniker
// "!{class}". Nothing for an entry of another kind (a document's file
// moniker).
std::optional<CLSID> ListedClass(IMoniker& moniker, IBindCtx& bind) {
    CoTaskString name;
    if (FAILED(moniker.GetDisplayName(&bind, nullptr, name.Put())) || !name ||
        name.Get()[0] != L'!')
        return std::nullopt;
    CLSID clsid{};
    if (FAILED(CLSIDFromString(name.Get() + 1, &clsid)))
        return std::nullopt;
    return clsid;
}
} // namespace

bool ComAutomation::IsRegistered(std::wstring_view progId) {
    return RegisteredClass(progId).has_value();
}

bool ComAutomation::IsLaunchable(std::wstring_view progId) {
    return ProgramOf(progId).has_value();
}

bool ComAutomation::IsProgramRunning(std::wstring_view progId) {
    const std::optional<std::wstring> program = ProgramOf(progId);
    return program && RunsInThisSession(*program);
}

// Versioned identifiers ("AutoCAD.Application.24.1", "ZWCAD.Application.2020")
// follow no rule shared by the makers; the class's VersionIndependentProgID
// names the host whatever the version.
AutoRef ComAutomation::AttachListed(std::wstring_view progId) {
    ComPtr<IRunningObjectTable> table;
    ComPtr<IEnumMoniker> entries;
    ComPtr<IBindCtx> bind;
    if (FAILED(GetRunningObjectTable(0, table.Put())) ||
        FAILED(table->EnumRunning(entries.Put())) || !entries ||
        FAILED(CreateBindCtx(0, bind.Put())))
        return AutoRef();
    for (ComPtr<IMoniker> entry; entries->Next(1, entry.Put(), nullptr) == S_OK;) {
        const std::optional<CLSID> clsid = ListedClass(*entry.Get(), *bind.Get());
        if (!clsid)
            continue;
        const std::wstring independent = VersionIndependentProgId(*clsid);
        if (CompareStringOrdinal(independent.data(), static_cast<int>(independent.size()),
                                 progId.data(), static_cast<int>(progId.size()),
                                 TRUE) != CSTR_EQUAL)
            continue;
        // One that went away in between, or does not answer, is passed over.
        ComPtr<IUnknown> unknown;
        if (FAILED(Retrying([&] { return table->GetObject(entry.Get(), unknown.Put()); })))
            continue;
        try {
            return WrapUnknown(unknown.Get());
        } catch (const Error&) {
        }
    }
    return AutoRef();
}

AutoRef ComAutomation::AttachRunning(std::wstring_view progId) {
    const ObservedCall observed;
    const CLSID clsid = ClassOf(progId);
    ComPtr<IUnknown> unknown;
    const HRESULT hr = Retrying([&] { return GetActiveObject(clsid, nullptr, unknown.Put()); });
    if (FAILED(hr))
        ThrowAutomationError(hr);
    return WrapUnknown(unknown.Get());
}

AutoRef ComAutomation::Launch(std::wstring_view progId) {
    const ObservedCall observed;
    const CLSID clsid = ClassOf(progId);
    ComPtr<IUnknown> unknown;
    const HRESULT hr = Retrying([&] {
        return CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IUnknown, unknown.PutVoid());
    });
    if (FAILED(hr))
        ThrowAutomationError(hr);
    return WrapUnknown(unknown.Get());
}

AutomationRuntime& TheAutomation() {
    static ComAutomation automation;
    return automation;
}

// ---- the message filter

IMessageFilter& TheMessageFilter() {
    static MessageFilter filter;
    return filter;
}

void InstallMessageFilter() {
    ComPtr<IMessageFilter> previous;
    CoRegisterMessageFilter(&TheMessageFilter(), previous.Put());
}

} // namespace varno::win
