#pragma once
// The program's failure type: an error number and its description, the way
// a scripting runtime reports a failed statement. Handlers catch it at their
// top (Trap below) and choose their message from the number.
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace varno {

// Every runtime error number the program raises or tells apart, in one place.
namespace errnum {
constexpr long InvalidProcedureCall = 5;
constexpr long Overflow = 6;
constexpr long OutOfMemory = 7;
constexpr long SubscriptOutOfRange = 9;
constexpr long DivisionByZero = 11;
constexpr long TypeMismatch = 13;
constexpr long InternalError = 51; // a failure that is none of the runtime's own
constexpr long FileNotFound = 53;
constexpr long DeviceIO = 57;
constexpr long FileAlreadyExists = 58;
constexpr long DiskFull = 61;
constexpr long TooManyFiles = 67;
constexpr long DeviceUnavailable = 68;
constexpr long PermissionDenied = 70;
constexpr long DiskNotReady = 71;
constexpr long PathFileAccess = 75;
constexpr long PathNotFound = 76;
constexpr long ObjectVariableNotSet = 91;
constexpr long InvalidFileFormat = 321;
constexpr long ObjectRequired = 424;
constexpr long CantCreateObject = 429;
constexpr long NoAutomation = 430; // class doesn't support automation
constexpr long ObjectDoesntSupport = 438;
constexpr long NoNamedArguments = 446;
constexpr long NamedArgumentNotFound = 448;
constexpr long ArgumentNotOptional = 449;
constexpr long WrongArgumentCount = 450;
// The file dialog component's own numbers.
constexpr long DialogBufferTooSmall = 20476;
constexpr long DialogFailure = 32765;
constexpr long CancelSelected = 32755;
} // namespace errnum

class Error : public std::exception {
  public:
    Error(long number, std::wstring description)
        : number_(number), description_(std::move(description)) {}
    long Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "varno::Error"; }

  private:
    long number_;
    std::wstring description_;
};

// The runtime's text for error 7, out of memory.
inline constexpr std::wstring_view OutOfMemoryText = L"内存溢出";

// The runtime's own text for an error number; empty for numbers it has none for.
std::wstring RuntimeErrorText(long number);
// An Error for a runtime number with the runtime's own text.
Error RuntimeError(long number);

// Runs body under an error trap: nothing when it returns normally, else the
// failure it raised (out of memory is error 7, anything that is not an Error
// is an internal error, each with the runtime's text).
template <class Body> std::optional<Error> Caught(Body&& body) {
    try {
        std::forward<Body>(body)();
        return std::nullopt;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return RuntimeError(errnum::OutOfMemory);
    } catch (const std::exception&) {
        return RuntimeError(errnum::InternalError);
    }
}

// The same trap, for the number alone: 0 when body returns normally. It
// makes nothing new, so even out of memory it tells.
template <class Body> long Trap(Body&& body) {
    try {
        std::forward<Body>(body)();
        return 0;
    } catch (const Error& e) {
        return e.Number();
    } catch (const std::bad_alloc&) {
        return errnum::OutOfMemory;
    } catch (const std::exception&) {
        return errnum::InternalError;
    }
}

} // namespace varno
