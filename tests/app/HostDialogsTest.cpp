#include "app/HostDialogs.h"

#include <gtest/gtest.h>

#include <vector>

namespace varno {
namespace {

// CAD waits for its user in a window that came during the call, is visible
// and enabled, and is a dialog or has disabled CAD's main window; what was
// there before the call (palettes, the command line, tool tips) never
// counts.
TEST(HostDialogs, CadWaitsOnANewDialogOrAWindowThatDisabledItsMainWindow) {
    const std::vector<std::uintptr_t> before = {1, 2, 3}; // main, palette, command line
    const HostWindow main{1, true, true, false}, palette{2, true, true, false},
        commandLine{3, true, true, false}, oldDialog{3, true, true, true};
    const struct {
        const char* what;
        std::vector<HostWindow> now;
        bool mainEnabled;
        std::optional<std::uintptr_t> waitsOn;
    } rows[] = {
        {"only what was there", {main, palette, commandLine}, true, std::nullopt},
        {"a dialog there before the call", {main, oldDialog}, true, std::nullopt},
        {"a new dialog", {main, palette, {9, true, true, true}}, true, 9},
        {"a new dialog with the main window disabled", {main, {9, true, true, true}}, false, 9},
        {"a new window of another class, the main window disabled",
         {main, {8, true, true, false}},
         false,
         8},
        {"a new window of another class, the main window enabled: a palette",
         {main, {8, true, true, false}},
         true,
         std::nullopt},
        {"a new dialog not yet visible", {main, {9, false, true, true}}, true, std::nullopt},
        {"a new dialog disabled under its own box",
         {main, {9, true, false, true}},
         false,
         std::nullopt},
        {"a new tool tip and a new dialog: the dialog",
         {main, {7, true, true, false}, {9, true, true, true}},
         false,
         9},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(CadWaitsOn(before, row.now, row.mainEnabled), row.waitsOn);
    }
}

} // namespace
} // namespace varno
