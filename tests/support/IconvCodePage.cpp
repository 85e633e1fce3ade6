#include "support/IconvCodePage.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

namespace varno::test {

namespace {

// Converts all of in; false when some input has no representation in the
// target or is not valid in the source.
bool Convert(iconv_t cd, const char* in, size_t inSize, std::vector<char>& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // initial state
    out.assign(inSize * 4 + 16, 0);
    char* src = const_cast<char*>(in);
    char* dst = out.data();
    size_t left = inSize;
    size_t room = out.size();
    while (left > 0) {
        if (iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1))
            continue;
        if (errno != E2BIG)
            return false; // EILSEQ or EINVAL (a sequence cut off at the end)
        const size_t used = out.size() - room;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        room = out.size() - used;
    }
    out.resize(out.size() - room);
    return true;
}

} // namespace

IconvCodePage::IconvCodePage(const char* name)
    : toBytes_(iconv_open(name, "WCHAR_T")), toWide_(iconv_open("WCHAR_T", name)) {
    if (toBytes_ == reinterpret_cast<iconv_t>(-1) || toWide_ == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert this code page");
}

IconvCodePage::~IconvCodePage() {
    iconv_close(toBytes_);
    iconv_close(toWide_);
}

std::optional<std::string> IconvCodePage::Encode(std::wstring_view text) const {
    std::vector<char> out;
    if (!Convert(toBytes_, reinterpret_cast<const char*>(text.data()),
                 text.size() * sizeof(wchar_t), out))
        return std::nullopt;
    return std::string(out.begin(), out.end());
}

std::optional<std::wstring> IconvCodePage::Decode(std::string_view bytes) const {
    std::vector<char> out;
    if (!Convert(toWide_, bytes.data(), bytes.size(), out))
        return std::nullopt;
    std::wstring text(out.size() / sizeof(wchar_t), L'\0');
    std::copy(out.begin(), out.end(), reinterpret_cast<char*>(text.data()));
    return text;
}

} // namespace varno::test
