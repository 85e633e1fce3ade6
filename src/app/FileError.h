#pragma once
// Runtime error numbers for failed file operations, from the system's error
// codes. The codes are the Win32 values; they are spelled out here so that
// the mapping is plain portable code.
#include "app/Error.h"

#include <string>
#include <utility>

namespace varno {

namespace win32err {
constexpr unsigned long FileNotFound = 2;         // ERROR_FILE_NOT_FOUND
constexpr unsigned long PathNotFound = 3;         // ERROR_PATH_NOT_FOUND
constexpr unsigned long TooManyOpenFiles = 4;     // ERROR_TOO_MANY_OPEN_FILES
constexpr unsigned long AccessDenied = 5;         // ERROR_ACCESS_DENIED
constexpr unsigned long NotEnoughMemory = 8;      // ERROR_NOT_ENOUGH_MEMORY
constexpr unsigned long OutOfMemory = 14;         // ERROR_OUTOFMEMORY
constexpr unsigned long InvalidDrive = 15;        // ERROR_INVALID_DRIVE
constexpr unsigned long WriteProtect = 19;        // ERROR_WRITE_PROTECT
constexpr unsigned long NotReady = 21;            // ERROR_NOT_READY
constexpr unsigned long WriteFault = 29;          // ERROR_WRITE_FAULT
constexpr unsigned long ReadFault = 30;           // ERROR_READ_FAULT
constexpr unsigned long SharingViolation = 32;    // ERROR_SHARING_VIOLATION
constexpr unsigned long LockViolation = 33;       // ERROR_LOCK_VIOLATION
constexpr unsigned long HandleDiskFull = 39;      // ERROR_HANDLE_DISK_FULL
constexpr unsigned long BadNetPath = 53;          // ERROR_BAD_NETPATH
constexpr unsigned long BadNetName = 67;          // ERROR_BAD_NET_NAME
constexpr unsigned long FileExists = 80;          // ERROR_FILE_EXISTS
constexpr unsigned long DiskFull = 112;           // ERROR_DISK_FULL
constexpr unsigned long InvalidName = 123;        // ERROR_INVALID_NAME
constexpr unsigned long BadPathName = 161;        // ERROR_BAD_PATHNAME
constexpr unsigned long AlreadyExists = 183;      // ERROR_ALREADY_EXISTS
constexpr unsigned long FileNameExcedRange = 206; // ERROR_FILENAME_EXCED_RANGE
constexpr unsigned long Directory = 267;          // ERROR_DIRECTORY
} // namespace win32err

// The runtime error number of a failed file operation. 75 (path/file access
// error) is the name that cannot be opened in the requested mode: access
// denied, in use by another program, an invalid or empty name.
constexpr long FileErrorNumber(unsigned long win32Error) {
    using namespace win32err;
    switch (win32Error) {
    case FileNotFound:
        return errnum::FileNotFound;
    case PathNotFound:
    case BadNetPath:
    case BadNetName:
    case Directory:
        return errnum::PathNotFound;
    case AccessDenied:
    case SharingViolation:
    case LockViolation:
    case InvalidName:
    case BadPathName:
    case FileNameExcedRange:
        return errnum::PathFileAccess;
    case DiskFull:
    case HandleDiskFull:
        return errnum::DiskFull;
    case WriteProtect:
        return errnum::PermissionDenied;
    case NotReady:
        return errnum::DiskNotReady;
    case InvalidDrive:
        return errnum::DeviceUnavailable;
    case TooManyOpenFiles:
        return errnum::TooManyFiles;
    case NotEnoughMemory:
    case OutOfMemory:
        return errnum::OutOfMemory;
    case FileExists:
    case AlreadyExists:
        return errnum::FileAlreadyExists;
    default: // read and write faults and everything else
        return errnum::DeviceIO;
    }
}

// The error raised for a failed file operation.
inline Error FileError(unsigned long win32Error, std::wstring description = {}) {
    return Error(FileErrorNumber(win32Error), std::move(description));
}

} // namespace varno
