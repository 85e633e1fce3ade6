#pragma once
// The program an automation server's registration starts. Its class's
// LocalServer32 value is a command line, which the system runs the way
// CreateProcess runs a command line given without an application name.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// The program this command line (its environment variables already
// expanded) starts: a quoted path, or, unquoted, the shortest run of words
// from its start that names an existing file, for a path with spaces may
// stand unquoted ("C:\Program Files\CAD\cad.exe /Automation"). A name
// without an extension is taken with ".exe", as CreateProcess takes it.
// What follows the program (/Automation, -Embedding) is not part of it.
// Nothing when no such file exists. isFile says whether a file (not a
// folder) is there.
std::optional<std::wstring> ServerProgram(std::wstring_view command,
                                          const std::function<bool(const std::wstring&)>& isFile);

} // namespace varno
