#include "BareClient.h"

#include "app/AutomationError.h"
#include "app/Error.h"
#include "tools/cadhost/Vcad.h"

#include <cstdio>
#include <sstream>

namespace varno::bench {

namespace {

constexpr std::wstring_view Collections[] = {L"Blocks", L"Layers", L"Linetypes", L"DimStyles"};

void ReadCounts(const std::vector<AutoRef>& collections) {
    for (const AutoRef& collection : collections)
        Deref(collection).Get(L"Count");
}

// The run's calls for one drawing with nothing nested, in the run's order;
// each object is let go where the run lets go of it.
void CleanDrawing(AutoObject& app, const std::wstring& path) {
    const AutoRef documents = ObjectOf(app.Get(L"Documents"));
    const std::int64_t count = IntegerOf(Deref(documents).Get(L"Count")).value_or(0);
    for (std::int64_t n = 0; n < count; ++n) {
        const AutoRef doc =
            ObjectOf(Deref(documents).Call(L"Item", {static_cast<std::int32_t>(n)}));
        Deref(doc).Get(L"FullName");
    }
    const AutoRef drawing = ObjectOf(Deref(documents).Call(L"Open", {path}));
    Deref(drawing).Get(L"ReadOnly");
    {
        std::vector<AutoRef> collections;
        for (const std::wstring_view name : Collections)
            collections.push_back(ObjectOf(Deref(drawing).Get(name)));
        ReadCounts(collections);
        Deref(drawing).Call(L"PurgeAll", {});
        ReadCounts(collections);
    }
    Deref(drawing).Call(L"GetVariable", {std::wstring(L"DBMOD")});
    Deref(drawing).Call(L"Close", {true});
}

HostTime Since(const HostTime& now, const HostTime& before) {
    return {now.inside - before.inside, now.calls - before.calls, now.releases - before.releases};
}

} // namespace

BareResult RunBareClient(AutomationRuntime& automation, const std::vector<std::wstring>& paths,
                         bool visible) {
    BareResult result;
    result.drawings = static_cast<int>(paths.size());
    HostTime time;
    TimedRuntime runtime(automation, time);
    const std::optional<Error> failure = Caught([&] {
        AutoRef app;
        try {
            app = runtime.AttachRunning(vcad::ProgId);
        } catch (const Error&) {
            app = runtime.Launch(vcad::ProgId);
        }
        if (visible)
            Deref(app).Put(L"Visible", true);
        // The template drawing stays open in the host, as the run's does.
        Deref(ObjectOf(Deref(app).Get(L"Documents"))).Call(L"Add", {});

        const HostTime before = time;
        const Clock::time_point start = Clock::now();
        for (const std::wstring& path : paths)
            CleanDrawing(Deref(app), path);
        result.loop = Clock::now() - start;
        result.host = Since(time, before);
        Deref(app).Call(L"Quit", {});
    });
    if (failure)
        result.failure = failure->Description();
    return result;
}

std::string ResultLine(const BareResult& r) {
    char line[160];
    std::snprintf(line, sizeof line, "%s %d %.6f %.6f %ld %ld %d", ResultTag.data(), r.drawings,
                  Ms(r.loop), Ms(r.host.inside), r.host.calls, r.host.releases,
                  r.failure.empty() ? 0 : 1);
    return line;
}

std::optional<BareResult> ParseResultLine(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::string tag;
    BareResult r;
    double loopMs = 0, insideMs = 0;
    int failed = 0;
    if (!(in >> tag >> r.drawings >> loopMs >> insideMs >> r.host.calls >> r.host.releases >>
          failed) ||
        tag != ResultTag)
        return std::nullopt;
    const auto duration = [](double ms) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(ms));
    };
    r.loop = duration(loopMs);
    r.host.inside = duration(insideMs);
    if (failed)
        r.failure = L"the bare client failed";
    return r;
}

} // namespace varno::bench
