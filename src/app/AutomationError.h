#pragma once
// The one place that turns a failed automation call into the runtime's error
// number and description, as a scripting client reports it.
//
// Numbers:
//  - DISP_E_UNKNOWNNAME, DISP_E_MEMBERNOTFOUND: 438 (object doesn't support
//    this property or method);
//  - an HRESULT of the form 0x800A____ (a runtime error raised by a server):
//    its low word;
//  - DISP_E_EXCEPTION: the server's EXCEPINFO decides: a non-zero wCode is the
//    number itself, otherwise its scode is mapped by these same rules;
//  - a few well-known HRESULTs: the runtime's own numbers (type mismatch 13,
//    invalid argument 5, out of memory 7, no such class or no running object
//    429, wrong argument count 450, ...);
//  - every other HRESULT keeps a number of its own: the HRESULT itself read
//    as a signed 32-bit value (RPC_E_DISCONNECTED is -2147417848), so it never
//    collides with a runtime number.
// Description: the server's EXCEPINFO text when it gave one, else the
// system's message for the HRESULT, else the runtime's text for the number.
#include "app/Automation.h"
#include "app/Error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// HRESULTs the mapping names (the platform's values).
namespace hresult {
constexpr std::uint32_t NoInterface = 0x80004002;          // E_NOINTERFACE
constexpr std::uint32_t OutOfMemory = 0x8007000E;          // E_OUTOFMEMORY
constexpr std::uint32_t InvalidArg = 0x80070057;           // E_INVALIDARG
constexpr std::uint32_t DispMemberNotFound = 0x80020003;   // DISP_E_MEMBERNOTFOUND
constexpr std::uint32_t DispParamNotFound = 0x80020004;    // DISP_E_PARAMNOTFOUND
constexpr std::uint32_t DispTypeMismatch = 0x80020005;     // DISP_E_TYPEMISMATCH
constexpr std::uint32_t DispUnknownName = 0x80020006;      // DISP_E_UNKNOWNNAME
constexpr std::uint32_t DispNoNamedArgs = 0x80020007;      // DISP_E_NONAMEDARGS
constexpr std::uint32_t DispException = 0x80020009;        // DISP_E_EXCEPTION
constexpr std::uint32_t DispOverflow = 0x8002000A;         // DISP_E_OVERFLOW
constexpr std::uint32_t DispBadIndex = 0x8002000B;         // DISP_E_BADINDEX
constexpr std::uint32_t DispBadParamCount = 0x8002000E;    // DISP_E_BADPARAMCOUNT
constexpr std::uint32_t DispParamNotOptional = 0x8002000F; // DISP_E_PARAMNOTOPTIONAL
constexpr std::uint32_t DispDivByZero = 0x80020012;        // DISP_E_DIVBYZERO
constexpr std::uint32_t ClassNotRegistered = 0x80040154;   // REGDB_E_CLASSNOTREG
constexpr std::uint32_t MonikerUnavailable = 0x800401E3;   // MK_E_UNAVAILABLE
constexpr std::uint32_t InvalidClassString = 0x800401F3;   // CO_E_CLASSSTRING
constexpr std::uint32_t AppNotFound = 0x800401F5;          // CO_E_APPNOTFOUND
constexpr std::uint32_t ServerExecFailure = 0x80080005;    // CO_E_SERVER_EXEC_FAILURE
constexpr std::uint32_t CallRejected = 0x80010001;         // RPC_E_CALL_REJECTED
constexpr std::uint32_t ServerCallRetryLater = 0x8001010A; // RPC_E_SERVERCALL_RETRYLATER
constexpr std::uint32_t ServerDied = 0x80010007;           // RPC_E_SERVER_DIED
constexpr std::uint32_t ServerDiedDne = 0x80010012;        // RPC_E_SERVER_DIED_DNE
constexpr std::uint32_t ServerFault = 0x80010105;          // RPC_E_SERVERFAULT
constexpr std::uint32_t Disconnected = 0x80010108;         // RPC_E_DISCONNECTED
constexpr std::uint32_t ObjectNotConnected = 0x800401FD;   // CO_E_OBJNOTCONNECTED
constexpr std::uint32_t ServerUnavailable = 0x800706BA; // RPC_S_SERVER_UNAVAILABLE (as an HRESULT)
constexpr std::uint32_t CallFailed = 0x800706BE;        // RPC_S_CALL_FAILED (as an HRESULT)
constexpr std::uint32_t CallFailedDne = 0x800706BF;     // RPC_S_CALL_FAILED_DNE (as an HRESULT)
} // namespace hresult

// What a failed call reported.
struct AutomationFailure {
    std::uint32_t hr = 0;
    // DISP_E_EXCEPTION only: the server's EXCEPINFO.
    std::uint16_t wCode = 0;
    std::uint32_t scode = 0;
    std::wstring description;
};

// The runtime's error number for a failed call.
long AutomationErrorNumber(const AutomationFailure& failure);
// The runtime's error number for a bare HRESULT.
long AutomationErrorNumber(std::uint32_t hr);

// The error a failed call raises. systemMessage gives the platform's text for
// an HRESULT (empty when it has none); it is asked only when the server gave
// no description.
using SystemMessageFn = std::function<std::wstring(std::uint32_t hr)>;
Error AutomationError(const AutomationFailure& failure, const SystemMessageFn& systemMessage);

// The server has gone (closed, crashed, disconnected) or stopped answering
// (it rejected a call past the retry time): the number of a failure that no
// further call to it can mend.
bool IsServerGone(long number);

// A server busy starting up or saving rejects incoming calls for a while;
// such a call is tried again every RejectedCallRetryMs for up to
// RejectedCallPatienceMs before it fails as usual. The delay before the next
// try of a call first rejected elapsedMs ago, or -1 to give up.
constexpr std::uint32_t RejectedCallPatienceMs = 60000;
constexpr int RejectedCallRetryMs = 100;
int RejectedCallDelay(std::uint32_t elapsedMs);

// Values as the runtime converts them, raising its errors.
// The object a reference names; Nothing raises 91.
AutoObject& Deref(const AutoRef& object);
// An object for a Set assignment: an object or Nothing; anything else raises 424.
AutoRef ObjectOf(const Variant& value);
// An object to call into: ObjectOf, and Nothing raises 91.
AutoObject& CallTarget(const Variant& value);
// Text of a value: empty, "True"/"False", decimal digits, the text itself; an
// object raises 13.
std::wstring TextOf(const Variant& value);
// The integer a value holds, of any width; nothing for any other kind.
std::optional<std::int64_t> IntegerOf(const Variant& value);

} // namespace varno
