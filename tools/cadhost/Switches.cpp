// The control file of test switches (see Host.h) and text helpers.
#include "Host.h"

#include "app/Unicode.h"

namespace vcad {
namespace {

std::wstring Upper(std::wstring_view s) {
    std::wstring u(s);
    if (!u.empty())
        CharUpperBuffW(u.data(), static_cast<DWORD>(u.size()));
    return u;
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && (s.front() == L' ' || s.front() == L'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == L' ' || s.back() == L'\t' || s.back() == L'\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && Upper(a) == Upper(b);
}

bool ContainsAny(const std::vector<std::wstring>& texts, std::wstring_view in) {
    const std::wstring hay = Upper(in);
    for (const auto& t : texts)
        if (!t.empty() && hay.find(Upper(t)) != std::wstring::npos)
            return true;
    return false;
}

bool Switches::IsMissing(std::wstring_view member) const {
    for (const auto& m : missing)
        if (SameText(m, member))
            return true;
    return false;
}

Switches ParseSwitches(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    Switches sw;
    for (std::string_view rest = utf8; !rest.empty();) {
        const size_t eol = rest.find('\n');
        const std::wstring text = varno::Utf8ToWide(rest.substr(0, eol)).value_or(std::wstring());
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        const std::wstring_view line = Trim(text);
        if (line.empty() || line.front() == L'#')
            continue;
        const size_t eq = line.find(L'=');
        const std::wstring key = Upper(Trim(line.substr(0, eq)));
        const std::wstring value(eq == std::wstring_view::npos ? L"" : Trim(line.substr(eq + 1)));
        if (key == L"OPEN-FAILS")
            sw.openFails.push_back(value);
        else if (key == L"ADD-FAILS")
            sw.addFails.push_back(value);
        else if (key == L"SAVE-FAILS")
            sw.saveFails.push_back(value);
        else if (key == L"PURGE-FAILS")
            sw.purgeFails.push_back(value);
        else if (key == L"CRASH-OPEN")
            sw.crashOpen.push_back(value);
        else if (key == L"MISSING")
            sw.missing.push_back(value);
        else if (key == L"BUSY")
            sw.busySeconds = _wtoi(value.c_str());
        else if (key == L"REFUSE-START")
            sw.refuseStart = true;
        else if (key == L"LAYOUT")
            sw.oldLayout = SameText(value, L"old");
        else if (key == L"OPEN-ACTIVATES")
            sw.openActivates = !SameText(value, L"no");
        else if (key == L"SAVE-AS-TYPE")
            sw.saveAsType = _wtoi(value.c_str());
        else if (key == L"CAPTION")
            sw.caption = value;
        else if (key == L"USER-OPEN")
            sw.userOpen.push_back(value);
        else if (key == L"PREFERENCES-FAILS")
            sw.preferencesFail = true;
        else if (key == L"SAVEAS-WRITES")
            sw.saveAsWrites = _wtoi(value.c_str());
        else if (key == L"NESTING")
            sw.nesting = _wtoi(value.c_str());
        else if (key == L"CLEAN")
            sw.clean.push_back(value);
        else if (key == L"ASK-OPEN")
            sw.askOpen.push_back(value);
        else if (key == L"SLOW-PURGE")
            sw.slowPurgeSeconds = _wtoi(value.c_str());
    }
    return sw;
}

} // namespace vcad
