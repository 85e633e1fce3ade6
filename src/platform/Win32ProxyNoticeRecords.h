#pragma once
// The records of the user's PROXYNOTICE on disk, in the user's own folder of
// the program's state.
#include "app/ProxyNoticeRecords.h"

#include <string>

namespace varno::win {

class Win32ProxyNoticeRecords : public ProxyNoticeRecords {
  public:
    // In %LOCALAPPDATA%\varno, made when the first record is kept.
    Win32ProxyNoticeRecords();
    explicit Win32ProxyNoticeRecords(std::wstring folder) : folder_(std::move(folder)) {}

    std::optional<std::int16_t> Find(std::wstring_view host) override;
    // Written in full to a file of its own, then moved into place without
    // replacing anything: a record is there whole or not at all.
    void Keep(std::wstring_view host, std::int16_t value) override;
    void Remove(std::wstring_view host) override;

    std::wstring PathOf(std::wstring_view host) const;

  private:
    std::wstring folder_;
};

} // namespace varno::win
