#pragma once
// The user's PROXYNOTICE, kept on disk while a run has the host's turned off,
// so that a run that never ended (ended from the Task Manager, the machine
// gone down) leaves the user's value for the next run to put back. One
// record a host, named by its FullName.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

class ProxyNoticeRecords {
  public:
    virtual ~ProxyNoticeRecords() = default;
    // The value recorded for the host, if there is a record.
    virtual std::optional<std::int16_t> Find(std::wstring_view host) = 0;
    // Records the value where there is no record yet: one there is never
    // replaced. A record that cannot be written is passed over.
    virtual void Keep(std::wstring_view host, std::int16_t value) = 0;
    virtual void Remove(std::wstring_view host) = 0;
};

// A record is a small text file, "proxynotice-" and 16 hexadecimal digits
// (a hash of the host's FullName, letter case ignored) with ".txt", holding
// the value and the host's FullName, a line each in UTF-8.
std::wstring ProxyNoticeRecordName(std::wstring_view host);
std::string ProxyNoticeRecordText(std::wstring_view host, std::int16_t value);
// The value a record's text holds for this host: nothing for a text that is
// not such a record, or is another host's (two names of the same hash).
std::optional<std::int16_t> ProxyNoticeRecordValue(std::string_view text, std::wstring_view host);

} // namespace varno
