#pragma once
// The promotional windows adfrm and ad1frm: one design built twice, placed
// against the right and the left screen edge and showing one page each of
// the maker's site.
#include "app/Module1.h"
#include "app/Ui.h"
#include "promo/EdgeDocking.h"

#include <span>
#include <string>
#include <string_view>

namespace varno {

enum class Side { Left, Right };

// What tells the two windows apart.
struct PromoKind {
    Side side;
    std::wstring_view page; // below the maker's site address
};
inline constexpr PromoKind ad1frmKind{Side::Left, L"/bdownload.htm"};
inline constexpr PromoKind adfrmKind{Side::Right, L"/gdownload.htm"};

// The address the window's browser is sent to.
std::wstring PageAddress(const PromoKind& kind);

// CenterForm1 (the designer's name): moves the window against its screen edge (left 0, or screen
// width - width) with a third of the free height above it; floating point, not rounded, size
// unchanged, one move.
void CenterForm1(Window& window, const Screen& screen, Side side);
// The same on a desktop of several monitors (pixels, the main one first): against the outer edge
// of the monitor that reaches furthest to the window's side, the desktop's edge there, with a third
// of that monitor's free height above it; of monitors that reach equally far, the first. No
// monitors: the screen alone, as above. With the main monitor alone the result is the same.
void CenterForm1(Window& window, const Screen& screen, Side side, std::span<const RectPx> monitors);

// The monitor CenterForm1 places the window of a side on: its index into monitors (not empty).
std::size_t OuterMonitor(std::span<const RectPx> monitors, Side side);

// What loading a promotional window does besides placing it.
class PromoLoadTarget {
  public:
    virtual ~PromoLoadTarget() = default;
    // SetWindowPos(hwnd, HWND_TOPMOST, x, y, cx, cy, 0); the result is ignored.
    virtual void SetTopmost(const PixelRect& pixels) = 0;
    // The browser's Navigate with the address only; nothing is waited for.
    virtual void Navigate(std::wstring_view address) = 0;
};

// The load handler: place (on the desktop these monitors make up; none: the screen alone), make
// topmost where placed, start the page.
void LoadPromo(Window& window, const Screen& screen, const PromoKind& kind, PromoLoadTarget& target,
               std::span<const RectPx> monitors = {});

} // namespace varno
