#include "promo/PromoWindow.h"

#include "app/Maker.h"

namespace varno {

std::wstring PageAddress(const PromoKind& kind) {
    std::wstring address(maker::SiteAddress);
    address += kind.page;
    return address;
}

namespace {

// Where a window is placed, in twips.
struct Area {
    float left = 0, top = 0, right = 0, height = 0;
};

void PlaceAtSide(Window& window, const Area& area, Side side) {
    const float left = side == Side::Left ? area.left : area.right - window.Width();
    const float top = area.top + (area.height - window.Height()) / 3.0f;
    window.Move(left, top);
}

} // namespace

void CenterForm1(Window& window, const Screen& screen, Side side) {
    PlaceAtSide(window, {0.0f, 0.0f, screen.Width, screen.Height}, side);
}

std::size_t OuterMonitor(std::span<const RectPx> monitors, Side side) {
    std::size_t outer = 0;
    for (std::size_t i = 1; i < monitors.size(); ++i) {
        if (side == Side::Left ? monitors[i].left < monitors[outer].left
                               : monitors[i].right > monitors[outer].right)
            outer = i;
    }
    return outer;
}

void CenterForm1(Window& window, const Screen& screen, Side side,
                 std::span<const RectPx> monitors) {
    if (monitors.empty()) {
        CenterForm1(window, screen, side);
        return;
    }
    const RectPx& m = monitors[OuterMonitor(monitors, side)];
    const float tx = screen.TwipsPerPixelX, ty = screen.TwipsPerPixelY;
    PlaceAtSide(window,
                {static_cast<float>(m.left) * tx, static_cast<float>(m.top) * ty,
                 static_cast<float>(m.right) * tx, static_cast<float>(m.bottom - m.top) * ty},
                side);
}

void LoadPromo(Window& window, const Screen& screen, const PromoKind& kind, PromoLoadTarget& target,
               std::span<const RectPx> monitors) {
    CenterForm1(window, screen, kind.side, monitors);
    target.SetTopmost(TopmostPixels(window.Left(), window.Top(), window.Width(), window.Height(),
                                    screen.TwipsPerPixelX, screen.TwipsPerPixelY));
    target.Navigate(PageAddress(kind));
}

} // namespace varno
