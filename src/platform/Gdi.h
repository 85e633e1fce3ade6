#pragma once
// RAII owners for GDI objects (fonts, brushes, bitmaps), released with DeleteObject.
#include <windows.h>

#include <utility>

namespace varno::win {

template <class H> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(H h) : h_(h) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(H h = nullptr) {
        if (h_)
            DeleteObject(h_);
        h_ = h;
    }

  private:
    H h_ = nullptr;
};

} // namespace varno::win
