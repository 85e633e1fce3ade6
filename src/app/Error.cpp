#include "app/Error.h"

namespace varno {

namespace {

struct RuntimeText {
    long number;
    const wchar_t* text;
};

constexpr RuntimeText RuntimeTexts[] = {
    {errnum::InvalidProcedureCall, L"无效的过程调用或参数"},
    {errnum::Overflow, L"溢出"},
    {errnum::OutOfMemory, OutOfMemoryText.data()},
    {errnum::SubscriptOutOfRange, L"下标越界"},
    {errnum::DivisionByZero, L"除数为零"},
    {errnum::TypeMismatch, L"类型不匹配"},
    {errnum::InternalError, L"内部错误"},
    {errnum::ObjectVariableNotSet, L"对象变量或 With 块变量没有设置"},
    {errnum::ObjectRequired, L"要求对象"},
    {errnum::CantCreateObject, L"ActiveX 部件不能创建对象"},
    {errnum::NoAutomation, L"类不支持自动化或不支持期望的接口"},
    {errnum::ObjectDoesntSupport, L"对象不支持该属性或方法"},
    {errnum::NoNamedArguments, L"对象不支持命名参数"},
    {errnum::NamedArgumentNotFound, L"找不到命名参数"},
    {errnum::ArgumentNotOptional, L"参数不可选"},
    {errnum::WrongArgumentCount, L"错误的参数号或无效的属性赋值"},
};

} // namespace

std::wstring RuntimeErrorText(long number) {
    for (const auto& t : RuntimeTexts)
        if (t.number == number)
            return t.text;
    return {};
}

Error RuntimeError(long number) {
    return Error(number, RuntimeErrorText(number));
}

} // namespace varno
