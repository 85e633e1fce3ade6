#include "app/AutomationError.h"

#include <cstdio>

namespace varno {

namespace {

struct KnownHresult {
    std::uint32_t hr;
    long number;
};

// HRESULTs the runtime reports under numbers of its own.
constexpr KnownHresult KnownHresults[] = {
    {hresult::DispUnknownName, errnum::ObjectDoesntSupport},
    {hresult::DispMemberNotFound, errnum::ObjectDoesntSupport},
    {hresult::InvalidArg, errnum::InvalidProcedureCall},
    {hresult::DispOverflow, errnum::Overflow},
    {hresult::OutOfMemory, errnum::OutOfMemory},
    {hresult::DispBadIndex, errnum::SubscriptOutOfRange},
    {hresult::DispDivByZero, errnum::DivisionByZero},
    {hresult::DispTypeMismatch, errnum::TypeMismatch},
    {hresult::ClassNotRegistered, errnum::CantCreateObject},
    {hresult::MonikerUnavailable, errnum::CantCreateObject},
    {hresult::InvalidClassString, errnum::CantCreateObject},
    {hresult::AppNotFound, errnum::CantCreateObject},
    {hresult::ServerExecFailure, errnum::CantCreateObject},
    {hresult::NoInterface, errnum::NoAutomation},
    {hresult::DispNoNamedArgs, errnum::NoNamedArguments},
    {hresult::DispParamNotFound, errnum::NamedArgumentNotFound},
    {hresult::DispParamNotOptional, errnum::ArgumentNotOptional},
    {hresult::DispBadParamCount, errnum::WrongArgumentCount},
};

bool IsControlError(std::uint32_t hr) {
    return (hr & 0xFFFF0000u) == 0x800A0000u;
}

// The HRESULT that describes the failure: the server's scode for an exception.
std::uint32_t EffectiveHresult(const AutomationFailure& f) {
    if (f.hr == hresult::DispException && f.scode != 0 && f.scode != hresult::DispException)
        return f.scode;
    return f.hr;
}

} // namespace

long AutomationErrorNumber(std::uint32_t hr) {
    if (IsControlError(hr))
        return static_cast<long>(hr & 0xFFFFu);
    for (const auto& k : KnownHresults)
        if (k.hr == hr)
            return k.number;
    return static_cast<long>(static_cast<std::int32_t>(hr));
}

long AutomationErrorNumber(const AutomationFailure& failure) {
    if (failure.hr == hresult::DispException && failure.wCode != 0)
        return failure.wCode;
    return AutomationErrorNumber(EffectiveHresult(failure));
}

Error AutomationError(const AutomationFailure& failure, const SystemMessageFn& systemMessage) {
    const long number = AutomationErrorNumber(failure);
    if (!failure.description.empty())
        return Error(number, failure.description);
    const std::uint32_t hr = EffectiveHresult(failure);
    std::wstring text;
    if (systemMessage)
        text = systemMessage(hr);
    // System messages end in a line break.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        text = RuntimeErrorText(number);
    if (text.empty()) {
        wchar_t buf[40];
        std::swprintf(buf, sizeof buf / sizeof buf[0], L"自动化错误 (0x%08X)",
                      static_cast<unsigned>(hr));
        text = buf;
    }
    return Error(number, std::move(text));
}

bool IsServerGone(long number) {
    static constexpr std::uint32_t gone[] = {
        hresult::Disconnected,         hresult::ServerUnavailable,  hresult::CallFailed,
        hresult::CallFailedDne,        hresult::ServerFault,        hresult::ServerDied,
        hresult::ServerDiedDne,        hresult::ObjectNotConnected, hresult::CallRejected,
        hresult::ServerCallRetryLater,
    };
    for (const std::uint32_t hr : gone)
        if (number == AutomationErrorNumber(hr))
            return true;
    return false;
}

int RejectedCallDelay(std::uint32_t elapsedMs) {
    return elapsedMs < RejectedCallPatienceMs ? RejectedCallRetryMs : -1;
}

AutoObject& Deref(const AutoRef& object) {
    if (!object)
        throw RuntimeError(errnum::ObjectVariableNotSet);
    return *object;
}

AutoRef ObjectOf(const Variant& value) {
    if (const auto* object = std::get_if<AutoRef>(&value))
        return *object;
    throw RuntimeError(errnum::ObjectRequired);
}

AutoObject& CallTarget(const Variant& value) {
    if (const auto* object = std::get_if<AutoRef>(&value))
        return Deref(*object);
    throw RuntimeError(errnum::ObjectRequired);
}

std::wstring TextOf(const Variant& value) {
    struct Visitor {
        std::wstring operator()(std::monostate) const { return {}; }
        std::wstring operator()(bool b) const { return b ? L"True" : L"False"; }
        std::wstring operator()(std::int16_t n) const { return std::to_wstring(n); }
        std::wstring operator()(std::int32_t n) const { return std::to_wstring(n); }
        std::wstring operator()(std::int64_t n) const { return std::to_wstring(n); }
        std::wstring operator()(const std::wstring& s) const { return s; }
        std::wstring operator()(const AutoRef&) const { throw RuntimeError(errnum::TypeMismatch); }
    };
    return std::visit(Visitor{}, value);
}

std::optional<std::int64_t> IntegerOf(const Variant& value) {
    if (const auto* n = std::get_if<std::int16_t>(&value))
        return *n;
    if (const auto* n = std::get_if<std::int32_t>(&value))
        return *n;
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return *n;
    return std::nullopt;
}

} // namespace varno
