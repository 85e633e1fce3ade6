#include "app/HostDialogs.h"

#include <algorithm>

namespace varno {

std::optional<std::uintptr_t> CadWaitsOn(std::span<const std::uintptr_t> before,
                                         std::span<const HostWindow> now, bool mainEnabled) {
    std::optional<std::uintptr_t> found;
    for (const HostWindow& w : now) {
        if (!w.visible || !w.enabled ||
            std::find(before.begin(), before.end(), w.handle) != before.end())
            continue;
        if (w.dialog)
            return w.handle;
        if (!mainEnabled && !found)
            found = w.handle;
    }
    return found;
}

} // namespace varno
