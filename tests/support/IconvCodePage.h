#pragma once
// A code page for the native tests and the fuzzer, through iconv: "CP936"
// stands in for the ANSI code page of a Simplified Chinese system.
#include "app/CodePage.h"

#include <iconv.h>

namespace varno::test {

class IconvCodePage : public CodePage {
  public:
    explicit IconvCodePage(const char* name = "CP936");
    ~IconvCodePage() override;
    IconvCodePage(const IconvCodePage&) = delete;
    IconvCodePage& operator=(const IconvCodePage&) = delete;

    std::optional<std::string> Encode(std::wstring_view text) const override;
    std::optional<std::wstring> Decode(std::string_view bytes) const override;

  private:
    iconv_t toBytes_;
    iconv_t toWide_;
};

} // namespace varno::test
