#pragma once
// The bare client: the host calls the batch purge run makes for a drawing
// with nothing nested, made one after another with nothing else in between,
// as a scripting client would make them. The batch purge benchmark sets it
// beside the run, so that the run's time per drawing can be read against the
// cost of the COM round trips alone.
#include "HostTiming.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varno::bench {

struct BareResult {
    int drawings = 0;
    // The drawings alone: from the first call for the first drawing to the
    // last call for the last one.
    Clock::duration loop{};
    // The host calls within the loop.
    HostTime host;
    // The description of the failure that ended it; empty when it completed.
    std::wstring failure;
};

// On the calling thread, which must be in a single-threaded apartment.
// Attaches to the stand-in host (or launches it), makes it visible and adds
// a new drawing from its default template, as the run does before its first
// drawing, so that the host has the same one document open throughout. Then,
// for each path:
//   Documents, its Count, Item(n) and its FullName for each open document
//     (the open-document check; one document: Item(0));
//   Documents.Open(path); ReadOnly;
//   Blocks, Layers, Linetypes, DimStyles and their Counts; PurgeAll; the
//     four Counts again;
//   GetVariable("DBMOD"); Close(True).
// Last it quits the host. Every call goes through automation, timed (the
// project's late-bound layer: GetIDsOfNames + Invoke for each call, as the
// run makes them), and so does every release of a host object.
// With visible false the host is left as COM started it, hidden, and makes
// no painting of its own: to see what the host's window costs.
BareResult RunBareClient(AutomationRuntime& automation, const std::vector<std::wstring>& paths,
                         bool visible = true);

// The result as one line of text, and back, for a bare client that runs as a
// process of its own.
std::string ResultLine(const BareResult& result);
std::optional<BareResult> ParseResultLine(std::string_view line);
inline constexpr std::string_view ResultTag = "bare-result";

} // namespace varno::bench
