#include "app/Unicode.h"

namespace varno {

namespace {

constexpr bool Wide16 = sizeof(wchar_t) == 2;

unsigned char Byte(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// A character of the program's text as an unsigned value.
char32_t Unit(wchar_t c) {
    return static_cast<char32_t>(c) & (Wide16 ? 0xFFFF : 0xFFFFFFFF);
}

// The code point at s[i] and its length in bytes; 0 when the bytes there are
// not a valid UTF-8 sequence (overlong forms, surrogates and values beyond
// U+10FFFF included).
size_t Utf8At(std::string_view s, size_t i, char32_t& cp) {
    const unsigned c0 = Byte(s, i);
    if (c0 < 0x80) {
        cp = c0;
        return 1;
    }
    size_t len = 0;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        len = 2;
        cp = c0 & 0x1F;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        len = 3;
        cp = c0 & 0x0F;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        len = 4;
        cp = c0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() - i < len)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned c = Byte(s, i + k);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        IsSurrogate(cp))
        return 0;
    return len;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if (Wide16 && cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        if (Byte(bytes, i) < 0x80) {
            ++i;
            continue;
        }
        const size_t len = Utf8At(bytes, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::optional<std::wstring> Utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = Utf8At(bytes, i, cp);
        if (len == 0)
            return std::nullopt;
        AppendCodePoint(out, cp);
        i += len;
    }
    return out;
}

std::optional<std::string> WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = Unit(text[i]);
        if (Wide16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = Unit(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (IsSurrogate(c) || c > 0x10FFFF)
            return std::nullopt;
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::wstring> Utf16LeToWide(std::string_view bytes) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char32_t unit = Byte(bytes, i) | (char32_t{Byte(bytes, i + 1)} << 8);
        if (!Wide16 && unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = Byte(bytes, i + 2) | (char32_t{Byte(bytes, i + 3)} << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

std::optional<std::string> WideToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t w : text) {
        char32_t c = Unit(w);
        if (c > 0x10FFFF)
            return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 + (c >> 10));
            unit(0xDC00 + (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

} // namespace varno
