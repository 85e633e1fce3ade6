#pragma once
// The program's failure type: an error number and its description, the way
// a scripting runtime reports a failed statement. Handlers catch it at their
// top and choose their message from Number().
#include <exception>
#include <string>

namespace varno {

// The runtime error numbers the program raises and tells apart, in one place.
namespace errnum {
constexpr long InvalidProcedureCall = 5;
constexpr long OutOfMemory = 7;
constexpr long TypeMismatch = 13;
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
constexpr long InvalidFileFormat = 321;
constexpr long ObjectVariableNotSet = 91;
constexpr long ObjectRequired = 424;
constexpr long CantCreateObject = 429;
constexpr long ObjectDoesntSupport = 438;
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

} // namespace varno
