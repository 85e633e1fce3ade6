#pragma once
// The host's setting PROXYNOTICE, which the run turns off so that no drawing
// with proxy objects stops it with a notice, and puts back as the user had
// it when it ends.
#include "app/Automation.h"
#include "app/ProxyNoticeRecords.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varno {

// The host's setting the run changes.
inline constexpr std::wstring_view ProxyNoticeVariable = L"PROXYNOTICE";

// The setting belongs to the host, not to a drawing: it is read through the
// run's template drawing and put back through whatever document is active
// then (the user may have closed the template drawing meanwhile). While the
// run has it changed, the user's value is kept on disk too (records), so that
// a run ended from outside has it put back by the next run for that host.
// The host's integer settings are 16-bit, and it takes nothing else.
class ProxyNotice {
  public:
    explicit ProxyNotice(ProxyNoticeRecords& records) : records_(records) {}

    // Reads the user's value before the run changes it, and records it for
    // the host (named by its FullName). Where a record of that host is there
    // already, a run before did not end: its record holds the user's value,
    // and the value read is what that run left.
    void Read(AutoObject& drawing, const std::wstring& host);
    // Puts the user's value back through the host's active document; where
    // none is open, through a drawing addDrawing adds for it, which is closed
    // unsaved. The record goes once the value is back, and stays where that
    // fails. Raises nothing.
    void PutBack(const AutoRef& app, const std::function<AutoRef()>& addDrawing) const;

  private:
    ProxyNoticeRecords& records_;
    std::wstring host_;
    std::optional<std::int16_t> value_;
};

} // namespace varno
