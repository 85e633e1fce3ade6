#pragma once
// The texts that name the program's maker, in one place.
#include <string_view>

namespace varno::maker {

// The maker's home page and site address; the promotional pages lie below it.
inline constexpr std::wstring_view SiteAddress = L"http://www.varno.example";

} // namespace varno::maker
