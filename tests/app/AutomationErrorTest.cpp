#include "app/AutomationError.h"

#include <gtest/gtest.h>

namespace varno {
namespace {

AutomationFailure F(std::uint32_t hr, std::uint16_t wCode = 0, std::uint32_t scode = 0,
                    std::wstring description = {}) {
    return AutomationFailure{hr, wCode, scode, std::move(description)};
}

struct Row {
    AutomationFailure failure;
    long number;
};

TEST(AutomationErrorNumber, MapsFailuresToTheRuntimesNumbers) {
    const Row rows[] = {
        // Missing members.
        {F(hresult::DispUnknownName), 438},
        {F(hresult::DispMemberNotFound), 438},
        // Runtime errors raised by a server: the low word.
        {F(0x800A01B6), 438},
        {F(0x800A0035), 53},
        {F(0x800AFFFF), 65535},
        // Exceptions: the scode, mapped the same way; a non-zero wCode wins.
        {F(hresult::DispException, 0, 0x800A004B, L"path"), 75},
        {F(hresult::DispException, 0, hresult::DispMemberNotFound, L""), 438},
        {F(hresult::DispException, 1004, 0, L"app error"), 1004},
        {F(hresult::DispException, 0, 0x80004005, L"failed"),
         static_cast<long>(0x80004005 - 0x100000000)},
        {F(hresult::DispException), -2147352567},
        // Well-known HRESULTs.
        {F(hresult::DispTypeMismatch), 13},
        {F(hresult::InvalidArg), 5},
        {F(hresult::OutOfMemory), 7},
        {F(hresult::InvalidClassString), 429},
        {F(hresult::MonikerUnavailable), 429},
        {F(hresult::ClassNotRegistered), 429},
        {F(hresult::ServerExecFailure), 429},
        {F(hresult::DispBadParamCount), 450},
        {F(hresult::DispParamNotOptional), 449},
        // Everything else keeps its own number: the signed HRESULT.
        {F(hresult::Disconnected), -2147417848},
        {F(hresult::ServerUnavailable), -2147023174},
        {F(hresult::CallRejected), -2147418111},
        {F(0x80070005), -2147024891},
    };
    for (const auto& r : rows)
        EXPECT_EQ(AutomationErrorNumber(r.failure), r.number)
            << std::hex << r.failure.hr << " scode " << r.failure.scode;
}

TEST(AutomationError, DescriptionIsTheServersTextElseTheSystemsElseTheRuntimes) {
    std::uint32_t asked = 0;
    const SystemMessageFn system = [&](std::uint32_t hr) {
        asked = hr;
        return hr == hresult::Disconnected ? std::wstring(L"对象已与客户端断开连接。\r\n")
                                           : std::wstring();
    };
    // The server's own text; the system is not asked.
    Error e = AutomationError(F(hresult::DispException, 0, 0x80004005, L"图纸无法打开"), system);
    EXPECT_EQ(e.Description(), L"图纸无法打开");
    EXPECT_EQ(asked, 0u);
    // The system's message for the HRESULT, without its line break.
    e = AutomationError(F(hresult::Disconnected), system);
    EXPECT_EQ(e.Number(), -2147417848);
    EXPECT_EQ(e.Description(), L"对象已与客户端断开连接。");
    // An exception without text: the system is asked about the scode.
    e = AutomationError(F(hresult::DispException, 0, hresult::Disconnected, L""), system);
    EXPECT_EQ(asked, hresult::Disconnected);
    EXPECT_EQ(e.Description(), L"对象已与客户端断开连接。");
    // No system text: the runtime's text for the number, else the HRESULT.
    e = AutomationError(F(0x800A01B6), system);
    EXPECT_EQ(e.Number(), 438);
    EXPECT_EQ(e.Description(), L"对象不支持该属性或方法");
    e = AutomationError(F(0x80041234), system);
    EXPECT_EQ(e.Description(), L"自动化错误 (0x80041234)");
    e = AutomationError(F(hresult::InvalidClassString), nullptr);
    EXPECT_EQ(e.Description(), L"ActiveX 部件不能创建对象");
}

TEST(RejectedCallDelay, RetriesEveryTenthOfASecondForAMinute) {
    EXPECT_EQ(RejectedCallDelay(0), 100);
    EXPECT_EQ(RejectedCallDelay(59999), 100);
    EXPECT_EQ(RejectedCallDelay(60000), -1);
    EXPECT_EQ(RejectedCallDelay(0xFFFFFFFFu), -1);
}

TEST(AutomationValues, ConvertAsTheRuntimeDoes) {
    EXPECT_EQ(TextOf(Variant()), L"");
    EXPECT_EQ(TextOf(Variant(true)), L"True");
    EXPECT_EQ(TextOf(Variant(std::int32_t{-12})), L"-12");
    EXPECT_EQ(TextOf(Variant(std::wstring(L"图"))), L"图");
    const auto number = [](auto&& f) {
        try {
            f();
        } catch (const Error& e) {
            return e.Number();
        }
        return 0L;
    };
    EXPECT_EQ(number([] { TextOf(Variant(AutoRef())); }), 13);
    EXPECT_EQ(number([] { ObjectOf(Variant(std::int32_t{1})); }), 424);
    EXPECT_EQ(number([] { ObjectOf(Variant()); }), 424);
    EXPECT_EQ(number([] { CallTarget(Variant(AutoRef())); }), 91);
    EXPECT_EQ(number([] { Deref(AutoRef()); }), 91);
    EXPECT_FALSE(ObjectOf(Variant(AutoRef()))); // Nothing is an object for Set
}

} // namespace
} // namespace varno
