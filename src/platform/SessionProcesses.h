#pragma once
// The processes of the user's session, as far as a program without
// administrator rights can see them.
#include <string>

namespace varno::win {

// A process of this program file runs in this process's session (another
// user's session has its own CAD, which the user cannot use).
bool RunsInThisSession(const std::wstring& program);

} // namespace varno::win
