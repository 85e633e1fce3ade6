#pragma once
// The texts that name the program's maker, in one place.
#include <string_view>

namespace varno::maker {

// The maker's home page and site address; the promotional pages lie below it.
inline constexpr std::wstring_view SiteAddress = L"http://www.varno.example";

// The software brand, the about window's caption.
inline constexpr std::wstring_view BrandName = L"varno";
// The header line of the about window: the brand name and its slogan.
inline constexpr std::wstring_view BrandSlogan = L"varno  CAD 图纸批量清理工具";
// The organisation behind the program and its web address.
inline constexpr std::wstring_view Organisation = L"varno 项目";
inline constexpr std::wstring_view OrganisationAddress = L"http://project.varno.example";
// The author and the author's mail address (a reserved example domain).
inline constexpr std::wstring_view Author = L"varno 开发组";
inline constexpr std::wstring_view MailAddress = L"dev@varno.example";

} // namespace varno::maker
