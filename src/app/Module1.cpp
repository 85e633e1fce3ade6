#include "app/Module1.h"

#include <cmath>

namespace varno {

void CentreOnScreen(Window& window, const Screen& screen) {
    const float left = (screen.Width - window.Width()) / 2.0f;
    const float top = (screen.Height - window.Height()) / 3.0f;
    window.Move(left, top);
}

namespace {
// Round half to even (the default floating-point rounding mode).
int RoundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

PixelRect TopmostPixels(float left, float top, float width, float height, float twipsPerPixelX,
                        float twipsPerPixelY) {
    const int tx = RoundEven(twipsPerPixelX);
    const int ty = RoundEven(twipsPerPixelY);
    PixelRect r;
    r.x = RoundEven(static_cast<double>(left) / twipsPerPixelX);
    r.y = ty ? RoundEven(top) / ty : 0;
    r.cx = tx ? RoundEven(width) / tx : 0;
    r.cy = ty ? RoundEven(height) / ty : 0;
    return r;
}

HostSession& Host() {
    static HostSession session;
    return session;
}

} // namespace varno
