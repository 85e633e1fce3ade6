#pragma once
// The promotional windows adfrm and ad1frm: one design built twice, placed
// against the right and the left screen edge and showing one page each of
// the maker's site.
#include "app/Module1.h"
#include "app/Ui.h"

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

// What loading a promotional window does besides placing it.
class PromoLoadTarget {
  public:
    virtual ~PromoLoadTarget() = default;
    // SetWindowPos(hwnd, HWND_TOPMOST, x, y, cx, cy, 0); the result is ignored.
    virtual void SetTopmost(const PixelRect& pixels) = 0;
    // The browser's Navigate with the address only; nothing is waited for.
    virtual void Navigate(std::wstring_view address) = 0;
};

// The load handler: place, make topmost where placed, start the page.
void LoadPromo(Window& window, const Screen& screen, const PromoKind& kind,
               PromoLoadTarget& target);

} // namespace varno
