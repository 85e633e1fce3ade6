#include "app/ProxyNoticeRecords.h"

#include "app/Unicode.h"

#include <charconv>
#include <cwctype>

namespace varno {

namespace {

wchar_t Lower(wchar_t c) {
    return c < 0x80 ? static_cast<wchar_t>(std::towlower(c)) : c;
}

bool SameHost(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

std::wstring ProxyNoticeRecordName(std::wstring_view host) {
    // FNV-1a over the name's UTF-16 units, ASCII letters in lower case.
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : host) {
        hash ^= static_cast<std::uint16_t>(Lower(c));
        hash *= 1099511628211ull;
    }
    std::wstring name = L"proxynotice-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return name + L".txt";
}

std::string ProxyNoticeRecordText(std::wstring_view host, std::int16_t value) {
    return std::to_string(value) + "\r\n" + WideToUtf8(host).value_or(std::string()) + "\r\n";
}

std::optional<std::int16_t> ProxyNoticeRecordValue(std::string_view text, std::wstring_view host) {
    const std::size_t end = text.find("\r\n");
    if (end == std::string_view::npos)
        return std::nullopt;
    std::int16_t value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end)
        return std::nullopt;
    std::string_view rest = text.substr(end + 2);
    if (rest.ends_with("\r\n"))
        rest.remove_suffix(2);
    const std::optional<std::wstring> named = Utf8ToWide(rest);
    if (!named || !SameHost(*named, host))
        return std::nullopt;
    return value;
}

} // namespace varno
