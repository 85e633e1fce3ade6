#pragma once
#include "app/Ui.h"

namespace varno {

// A window that only remembers its rectangle (twips).
struct FakeWindow : Window {
    FakeWindow(float l, float t, float w, float h) : left(l), top(t), width(w), height(h) {}
    float Left() const override { return left; }
    float Top() const override { return top; }
    float Width() const override { return width; }
    float Height() const override { return height; }
    void Move(float l, float t) override {
        left = l;
        top = t;
        ++moves;
    }
    float left, top, width, height;
    int moves = 0;
};

} // namespace varno
