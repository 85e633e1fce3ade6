#include "app/ProxyNoticeRecords.h"

#include <gtest/gtest.h>

namespace varno {
namespace {

const std::wstring Acad = L"C:\\Program Files\\Autodesk\\AutoCAD 2020\\acad.exe";

// A record names its host by a hash of the FullName (letter case ignored)
// and holds the value and the FullName itself, so that another host's record
// under the same name is never taken for this one's.
TEST(ProxyNoticeRecords, ARecordHoldsItsHostsValueOnly) {
    const std::wstring name = ProxyNoticeRecordName(Acad);
    EXPECT_EQ(name.size(), std::wstring(L"proxynotice-0123456789abcdef.txt").size());
    EXPECT_EQ(ProxyNoticeRecordName(L"c:\\program files\\autodesk\\autocad 2020\\ACAD.EXE"), name);
    EXPECT_NE(ProxyNoticeRecordName(L"D:\\中望CAD 2024\\ZWCAD.exe"), name);

    const struct {
        const char* what;
        std::string text;
        std::wstring host;
        std::optional<std::int16_t> value;
    } rows[] = {
        {"as written", ProxyNoticeRecordText(Acad, 1), Acad, 1},
        {"a negative value", ProxyNoticeRecordText(Acad, -32768), Acad, -32768},
        {"a Chinese FullName", ProxyNoticeRecordText(L"D:\\中望CAD\\ZWCAD.exe", 2),
         L"d:\\中望cad\\zwcad.exe", 2},
        {"another host's", ProxyNoticeRecordText(L"D:\\CAD\\other.exe", 1), Acad, std::nullopt},
        {"out of range", "40000\r\n" + ProxyNoticeRecordText(Acad, 0).substr(3), Acad,
         std::nullopt},
        {"no number", "x\r\nC:\\a.exe\r\n", L"C:\\a.exe", std::nullopt},
        {"cut short", "1", Acad, std::nullopt},
        {"empty", "", Acad, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(ProxyNoticeRecordValue(row.text, row.host), row.value);
    }
}

} // namespace
} // namespace varno
