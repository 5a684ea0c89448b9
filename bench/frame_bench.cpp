// How long one frame's computation takes: BuildFrame, TraceCurve and the mapping to pixels, as the
// render loop does them, for the densest curve the randomiser can produce and for a typical one.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_animation.h"
#include "core/geometry/curve_tracer.h"
#include "core/geometry/pixel_mapping.h"
#include "core/pattern/frame_table.h"

namespace loopster {
namespace {

void runFrames(benchmark::State& state, double fixedGearSize, std::int16_t rollingGearSize) {
    const auto [globals, genbox] = benchAnimation(fixedGearSize, rollingGearSize);
    auto table = std::make_unique<FrameTable>();
    auto curve = std::make_unique<CurveBuffer>();
    std::int16_t index = 0;
    std::int64_t points = 0;
    for (auto _ : state) {
        BuildFrame(index, genbox, globals, *table);
        TraceCurve(index, *table, globals.PiValue, *curve);
        mapToPixels(*curve, 1920.0f, 1080.0f, globals.FillRatio);
        benchmark::DoNotOptimize(curve->CurvePoints.data());
        benchmark::ClobberMemory();
        points += curve->PointCount + 1;
        index = static_cast<std::int16_t>((index + 1) % globals.FrameCount);
    }
    state.SetItemsProcessed(points);
    state.counters["points/frame"] =
        benchmark::Counter(static_cast<double>(points) / static_cast<double>(state.iterations()));
}

// Gears 60 and 25 (ratio 12 : 5) give the densest curve: 480 steps, 481 points.
void BM_FrameDensest(benchmark::State& state) {
    runFrames(state, 60.0, 25);
}
// The start gears 100 and 40 (ratio 5 : 2): 201 points.
void BM_FrameTypical(benchmark::State& state) {
    runFrames(state, 100.0, 40);
}

BENCHMARK(BM_FrameDensest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameTypical)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace loopster

BENCHMARK_MAIN();
