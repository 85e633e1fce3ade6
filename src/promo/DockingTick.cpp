#include "promo/DockingTick.h"

namespace varno {

DockTickResult RunDockTick(DockingWindow& window) {
    const DockInput in = window.ReadDockInput();
    DockTickResult r;
    r.action = DockTick(in);
    switch (r.action.write) {
    case DockWrite::Top:
        if (window.TopPixelsFor(r.action.value) != in.rect.top) {
            window.SetTop(r.action.value);
            r.moved = true;
        }
        break;
    case DockWrite::Left:
        if (window.LeftPixelsFor(r.action.value) != in.rect.left) {
            window.SetLeft(r.action.value);
            r.moved = true;
        }
        break;
    case DockWrite::None:
        break;
    }
    if (r.action.show && (r.moved || !window.IsVisible())) {
        window.Show();
        r.shown = true;
    }
    return r;
}

} // namespace varno
