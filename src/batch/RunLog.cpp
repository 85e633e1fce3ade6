#include "batch/RunLog.h"

#include "app/Unicode.h"

#include <cstdio>

namespace varno {

std::wstring_view OutcomeText(DrawingResult::Outcome outcome) {
    switch (outcome) {
    case DrawingResult::Outcome::Cleaned:
        return L"已清理";
    case DrawingResult::Outcome::Unchanged:
        return L"无需清理";
    case DrawingResult::Outcome::Skipped:
        return L"已跳过";
    case DrawingResult::Outcome::Failed:
        return L"失败";
    case DrawingResult::Outcome::NotDone:
        break;
    }
    return L"未处理";
}

std::string CsvField(std::wstring_view text) {
    // A path holds valid UTF-16 where it came from a file name; text that
    // does not (an unpaired surrogate) has its surrogates replaced.
    std::optional<std::string> utf8 = WideToUtf8(text);
    if (!utf8) {
        std::wstring clean(text);
        for (wchar_t& c : clean)
            if (c >= 0xD800 && c <= 0xDFFF)
                c = 0xFFFD;
        utf8 = WideToUtf8(clean);
    }
    const std::string field = utf8.value_or(std::string());
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string LogStart() {
    return "\xEF\xBB\xBF" + WideToUtf8(LogHeader).value_or(std::string()) + "\r\n";
}

std::string LogRow(const DrawingResult& r) {
    const auto number = [](const std::optional<std::uint64_t>& n) {
        return n ? std::to_string(*n) : std::string();
    };
    const bool worked = r.outcome != DrawingResult::Outcome::NotDone;
    std::string seconds;
    if (worked) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", r.seconds);
        seconds = text;
    }
    return CsvField(r.path) + ',' + CsvField(OutcomeText(r.outcome)) + ',' + CsvField(r.reason) +
           ',' + number(r.bytesBefore) + ',' + number(r.bytesAfter) + ',' +
           (r.passes > 0 ? std::to_string(r.passes) : std::string()) + ',' + seconds + "\r\n";
}

void RunRecord::AddHeld(const DrawingResult& result) {
    results_.push_back(result);
    if (write_)
        write_(LogRow(result));
}

void RunRecord::Add(const DrawingResult& result) {
    const std::lock_guard hold(lock_);
    AddHeld(result);
}

void RunRecord::EndNow(std::wstring_view reason) {
    const std::lock_guard hold(lock_);
    const std::size_t current = results_.size();
    for (std::size_t i = current; i < entries_.size(); ++i) {
        DrawingResult result{.path = entries_[i]};
        if (i == current) {
            result.outcome = DrawingResult::Outcome::Failed;
            result.reason = reason;
        }
        AddHeld(result);
    }
}

void RunRecord::NoneDone(std::wstring_view reason) {
    const std::lock_guard hold(lock_);
    for (const std::wstring& entry : entries_)
        AddHeld({.path = entry, .reason = std::wstring(reason)});
}

int RunRecord::ExitCode() const {
    const std::lock_guard hold(lock_);
    return ExitCodeOf(results_);
}

int ExitCodeOf(std::span<const DrawingResult> results) {
    int code = exitcode::Done;
    for (const DrawingResult& r : results) {
        if (r.outcome == DrawingResult::Outcome::Failed ||
            r.outcome == DrawingResult::Outcome::NotDone)
            return exitcode::Ended;
        if (r.outcome == DrawingResult::Outcome::Skipped)
            code = exitcode::Skipped;
    }
    return code;
}

} // namespace varno
