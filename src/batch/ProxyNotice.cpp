#include "batch/ProxyNotice.h"

#include "app/Error.h"
#include "batch/HostAnswers.h"

namespace varno {

void ProxyNotice::Read(AutoObject& drawing, const std::wstring& host) {
    host_ = host;
    const std::optional<std::int64_t> read = Asking([&] {
        return IntegerOf(drawing.Call(L"GetVariable", {std::wstring(ProxyNoticeVariable)}));
    });
    value_ = records_.Find(host);
    if (value_ || !read || *read < INT16_MIN || *read > INT16_MAX)
        return;
    value_ = static_cast<std::int16_t>(*read);
    records_.Keep(host, *value_);
}

void ProxyNotice::PutBack(const AutoRef& app, const std::function<AutoRef()>& addDrawing) const {
    if (!value_)
        return;
    const auto set = [&](AutoObject& document) {
        document.Call(L"SetVariable", {std::wstring(ProxyNoticeVariable), *value_});
    };
    const std::optional<Error> failed = Caught([&] {
        if (const AutoRef active =
                Asking([&] { return ObjectOf(Deref(app).Get(L"ActiveDocument")); })) {
            set(*active);
            return;
        }
        const AutoRef added = addDrawing();
        const std::optional<Error> notSet = Caught([&] { set(Deref(added)); });
        Caught([&] { Deref(added).Call(L"Close", {false}); });
        if (notSet)
            throw *notSet;
    });
    if (!failed)
        records_.Remove(host_);
}

} // namespace varno
