#include "mainwindow/CommandLine.h"

#include "batch/OpenDocuments.h"
#include "mainwindow/WindowsPaths.h"

#include <cwctype>

namespace varno {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// A switch of ours by its name ("run"), with "/" or "-", any letter case.
bool IsSwitch(std::wstring_view argument, std::wstring_view name) {
    if (argument.size() != name.size() + 1 || (argument[0] != L'/' && argument[0] != L'-'))
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(argument[i + 1])) != name[i])
            return false;
    return true;
}

constexpr std::wstring_view Switches[] = {L"run", L"log", L"timeout", L"?"};

bool IsAnySwitch(std::wstring_view argument) {
    for (const std::wstring_view name : Switches)
        if (IsSwitch(argument, name))
            return true;
    return false;
}

std::optional<int> Minutes(std::wstring_view text) {
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    int minutes = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        minutes = minutes * 10 + (c - L'0');
    }
    if (minutes < 1 || minutes > MaxTimeoutMinutes)
        return std::nullopt;
    return minutes;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> arguments;
    std::size_t at = 0;
    // The program's name: quotes group, backslashes are plain.
    std::wstring program;
    bool quoted = false;
    for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
        if (line[at] == L'"')
            quoted = !quoted;
        else
            program += line[at];
    }
    arguments.push_back(std::move(program));
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            break;
        std::wstring argument;
        quoted = false;
        while (at < line.size() && (quoted || !IsBlank(line[at]))) {
            std::size_t backslashes = 0;
            while (at < line.size() && line[at] == L'\\') {
                ++backslashes;
                ++at;
            }
            if (at < line.size() && line[at] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2) {
                    argument += L'"';
                } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                    argument += L'"';
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument.append(backslashes, L'\\');
                if (at < line.size() && (quoted || !IsBlank(line[at])))
                    argument += line[at++];
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

CommandLine ParseCommandLine(std::span<const std::wstring> arguments) {
    CommandLine command;
    for (const std::wstring& argument : arguments)
        if (IsSwitch(argument, L"?")) {
            command.mode = CommandLine::Mode::Usage;
            return command;
        }
    bool run = false;
    for (const std::wstring& argument : arguments)
        run = run || IsSwitch(argument, L"run");
    if (!run)
        return command; // the main window, whatever else is there
    command.mode = CommandLine::Mode::Run;
    bool listGiven = false, logGiven = false;
    const auto fail = [&](std::wstring why) {
        command.error = std::move(why);
        return command;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const bool isRun = IsSwitch(argument, L"run"), isLog = IsSwitch(argument, L"log"),
                   isTimeout = IsSwitch(argument, L"timeout");
        if (!isRun && !isLog && !isTimeout)
            return fail(L"无法识别的参数：" + argument);
        if ((isRun && listGiven) || (isLog && logGiven) || (isTimeout && command.timeoutMinutes))
            return fail(L"参数重复：" + argument);
        if (i + 1 >= arguments.size() || arguments[i + 1].empty() || IsAnySwitch(arguments[i + 1]))
            return fail(argument + L" 后缺少它的值");
        const std::wstring& value = arguments[++i];
        if (isRun) {
            command.listFile = value;
            listGiven = true;
        } else if (isLog) {
            command.logFile = value;
            logGiven = true;
        } else if (!(command.timeoutMinutes = Minutes(value))) {
            return fail(L"/timeout 的分钟数无效：" + value);
        }
    }
    return command;
}

bool LogTakesThePlaceOf(DrawingFiles& files, const std::wstring& log, const std::wstring& list) {
    return IsCadFileName(log) ||
           SameFile(files, log, files.FinalPath(log), list, files.FinalPath(list));
}

} // namespace varno
