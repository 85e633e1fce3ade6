// Cost of one docking tick's decision (on one screen and on two monitors),
// and of the whole tick over a window that is already docked (the steady
// state for the life of the window).
#include "promo/DockingTick.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace {

using namespace varno;

DockInput Input(PointPx cursor, int x, int y) {
    DockInput in;
    in.cursor = cursor;
    in.rect = {x, y, x + 131, y + 609};
    in.left = x * 15.0f;
    in.top = y * 15.0f;
    in.width = 1965;
    in.height = 9135;
    in.screenWidth = 19200;
    return in;
}

// A spread of situations so that the branches are not all predicted alike.
const std::array<DockInput, 8> DockInputs = {
    Input({640, 512}, -128, 138),  Input({1, 300}, -128, 138),   Input({640, 512}, 1277, 138),
    Input({1279, 300}, 1277, 138), Input({640, 512}, 500, -606), Input({550, 1}, 500, -606),
    Input({600, 400}, 500, 138),   Input({640, 512}, 500, 138),
};

void BM_DockTick(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        DockAction a = DockTick(DockInputs[i++ & 7]);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_DockTick);

// The same decisions on a desktop of two monitors, the second right of the
// main one: the tick also finds the window's monitor and the desktop's edges.
void BM_DockTickTwoMonitors(benchmark::State& state) {
    static const RectPx monitors[] = {{0, 0, 1280, 1024}, {1280, 0, 2560, 1024}};
    std::array<DockInput, 8> inputs = DockInputs;
    for (DockInput& in : inputs)
        in.monitors = monitors;
    std::size_t i = 0;
    for (auto _ : state) {
        DockAction a = DockTick(inputs[i++ & 7]);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_DockTickTwoMonitors);

// The decision plus the pixel comparison through the window interface.
class DockedWindow : public DockingWindow {
  public:
    DockInput ReadDockInput() override { return Input({640, 512}, -128, 138); }
    std::int32_t LeftPixelsFor(float t) const override {
        return static_cast<std::int32_t>(std::nearbyint(t / 15.0f));
    }
    std::int32_t TopPixelsFor(float t) const override { return LeftPixelsFor(t); }
    void SetLeft(float) override { ++writes; }
    void SetTop(float) override { ++writes; }
    bool IsVisible() const override { return true; }
    void Show() override {}
    int writes = 0;
};

void BM_RunDockTickWhileDocked(benchmark::State& state) {
    DockedWindow w;
    DockingWindow& window = w;
    for (auto _ : state) {
        DockTickResult r = RunDockTick(window);
        benchmark::DoNotOptimize(r);
    }
    if (w.writes != 0)
        state.SkipWithError("a docked window was moved again");
}
BENCHMARK(BM_RunDockTickWhileDocked);

} // namespace

BENCHMARK_MAIN();
