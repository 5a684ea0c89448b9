// What a frame's pen costs the Linux saver: the densest curve the randomiser can produce, mapped
// to a 1920x1080 buffer, drawn with the one- and the two-pixel pen and taken away again by drawing
// it in the background, as the saver's window does every frame; and that with the rest of a
// frame's work on the back buffer, the tracker's tiles.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_animation.h"
#include "core/raster/buffer_ink.h"
#include "core/raster/pen_raster.h"

namespace loopster {
namespace {

// The densest curve's frames, mapped to 1920x1080.
std::vector<std::unique_ptr<CurveBuffer>> densestFrames() {
    return benchFrames(60.0, 25, 1920.0f, 1080.0f);
}

void BM_CurveDrawAndClear(benchmark::State& state) {
    const int penWidth = static_cast<int>(state.range(0));
    const std::vector<std::unique_ptr<CurveBuffer>> curves = densestFrames();
    std::vector<std::uint32_t> pixels(1920u * 1080u, 0xFF000000u);
    const PixelRows rows{pixels.data(), 1920, 1920, 1080};
    std::size_t index = 0;
    for (auto _ : state) {
        const CurveBuffer& curve = *curves[index];
        drawPolyline(rows, curve.CurvePoints.data(), curve.PointCount + 1, penWidth, 0xFFFFC040u);
        benchmark::ClobberMemory();
        drawPolyline(rows, curve.CurvePoints.data(), curve.PointCount + 1, penWidth, 0xFF000000u);
        benchmark::ClobberMemory();
        index = (index + 1) % curves.size();
    }
}
BENCHMARK(BM_CurveDrawAndClear)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The whole of a frame's work on the back buffer: the clear by what the last frame inked, the
// pen, and the tracker's tiles to show.
void BM_CurveFrameInBuffer(benchmark::State& state) {
    const int penWidth = static_cast<int>(state.range(0));
    const std::vector<std::unique_ptr<CurveBuffer>> curves = densestFrames();
    PixelBuffer buffer;
    buffer.allocate(1920, 1080);
    BufferInk ink;
    ink.reset(buffer.rows(), 0xFF000000u);
    std::size_t index = 0;
    for (auto _ : state) {
        const CurveBuffer& curve = *curves[index];
        ink.clear(0xFF000000u);
        ink.polyline(curve.CurvePoints.data(), curve.PointCount + 1, penWidth, 0xFFFFC040u);
        benchmark::DoNotOptimize(ink.damage().takeChanged().data());
        benchmark::ClobberMemory();
        index = (index + 1) % curves.size();
    }
}
BENCHMARK(BM_CurveFrameInBuffer)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace loopster

BENCHMARK_MAIN();
