#pragma once
// What the registry says of an automation server's class, in both registry
// views: a 64-bit system keeps the classes of 32-bit programs (an older CAD
// release among them) in a view of their own, and the COM runtime looks in
// both.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace varno::win {

// The program the class's LocalServer32 starts, where that file exists: its
// value expanded when it is a REG_EXPAND_SZ, then read as the system reads
// that command line (ServerProgram), in the 64-bit view and then the 32-bit
// one. Nothing when neither names a program that is there.
std::optional<std::wstring> LocalServerProgram(const CLSID& clsid);

// The class's VersionIndependentProgID ("AutoCAD.Application" for the
// class of "AutoCAD.Application.24.1"); empty where it has none.
std::wstring VersionIndependentProgId(const CLSID& clsid);

} // namespace varno::win
