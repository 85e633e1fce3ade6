#pragma once
// How the run takes the host's answers: a failure of its own reason, and a
// step whose failure only means that the host cannot tell.
#include "app/AutomationError.h"
#include "app/Error.h"

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace varno {

// A failure the run reports with a reason of its own.
[[noreturn]] inline void Stop(long number, std::wstring_view reason) {
    throw Error(number, std::wstring(reason));
}

// Runs a step whose failure only means the host cannot tell (a member it
// lacks, an answer it cannot give): its result's empty value then (nothing,
// false). A host that has gone is the run's failure all the same.
template <class Step> std::invoke_result_t<Step> Asking(Step&& step) {
    try {
        return step();
    } catch (const Error& e) {
        if (IsServerGone(e.Number()))
            throw;
        return {};
    }
}

// A property that answers text; nothing where the host cannot tell, or
// answers anything else (an object, nothing at all).
inline std::optional<std::wstring> TextAnswer(AutoObject& object, std::wstring_view member) {
    return Asking([&]() -> std::optional<std::wstring> {
        Variant value = object.Get(member);
        if (std::wstring* text = std::get_if<std::wstring>(&value))
            return std::move(*text);
        return std::nullopt;
    });
}

} // namespace varno
