#pragma once
// One list of the program's messages: every fixed text a message box of the
// program shows, taken from the lists that each feature keeps beside its
// texts. The help file explains each of them (tests/help checks it), so a
// new message goes into its feature's list and into the help.
#include <string_view>
#include <vector>

namespace varno {

std::vector<std::wstring_view> ProgramMessages();

} // namespace varno
