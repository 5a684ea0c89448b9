// What a frame's wide pen costs the Linux saver: the densest curve the randomiser can produce,
// mapped to a 1920x1080 buffer, drawn with the two-pixel pen and taken away again by drawing it in
// the background, as the saver's window does every frame.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_animation.h"
#include "display/pixel_mapping.h"
#include "geometry/curve_tracer.h"
#include "pattern/frame_table.h"
#include "platform/qt/wide_line.h"

namespace loopster {
namespace {

void BM_WideCurveDrawAndClear(benchmark::State& state) {
    const int penWidth = static_cast<int>(state.range(0));
    const auto [globals, genbox] = benchAnimation(60.0, 25);
    auto table = std::make_unique<FrameTable>();
    std::vector<std::unique_ptr<CurveBuffer>> curves;
    for (std::int16_t i = 0; i < globals.FrameCount; ++i) {
        BuildFrame(i, genbox, globals, *table);
        curves.push_back(std::make_unique<CurveBuffer>());
        TraceCurve(i, *table, globals.PiValue, *curves.back());
        mapToPixels(*curves.back(), 1920.0f, 1080.0f, globals.FillRatio);
    }
    std::vector<std::uint32_t> pixels(1920u * 1080u, 0xFF000000u);
    const PixelRows rows{pixels.data(), 1920, 1920, 1080};
    std::size_t index = 0;
    for (auto _ : state) {
        const CurveBuffer& curve = *curves[index];
        fillWidePolyline(rows, curve.CurvePoints.data(), curve.PointCount + 1, penWidth,
                         0xFFFFC040u);
        benchmark::ClobberMemory();
        fillWidePolyline(rows, curve.CurvePoints.data(), curve.PointCount + 1, penWidth,
                         0xFF000000u);
        benchmark::ClobberMemory();
        index = (index + 1) % curves.size();
    }
}
BENCHMARK(BM_WideCurveDrawAndClear)->Arg(2)->Arg(5)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace loopster

BENCHMARK_MAIN();
