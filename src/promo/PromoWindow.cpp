#include "promo/PromoWindow.h"

#include "app/Maker.h"

namespace varno {

std::wstring PageAddress(const PromoKind& kind) {
    std::wstring address(maker::SiteAddress);
    address += kind.page;
    return address;
}

void CenterForm1(Window& window, const Screen& screen, Side side) {
    const float left = side == Side::Left ? 0.0f : screen.Width - window.Width();
    const float top = (screen.Height - window.Height()) / 3.0f;
    window.Move(left, top);
}

void LoadPromo(Window& window, const Screen& screen, const PromoKind& kind,
               PromoLoadTarget& target) {
    CenterForm1(window, screen, kind.side);
    target.SetTopmost(TopmostPixels(window.Left(), window.Top(), window.Width(), window.Height(),
                                    screen.TwipsPerPixelX, screen.TwipsPerPixelY));
    target.Navigate(PageAddress(kind));
}

} // namespace varno
