// What a frame's pen costs the Linux saver: the densest curve the randomiser can produce, mapped
// to a 1920x1080 buffer, drawn with the one- and the two-pixel pen and taken away again by drawing
// it in the background, as the saver's window does every frame; and that with the rest of a
// frame's work on the back buffer, the tracker's tiles.
#include <benchmark/benchmark.h>

#include <QImage>

#include <memory>
#include <vector>

#include "bench/bench_animation.h"
#include "core/raster/pen_raster.h"
#include "hosts/qt/buffer_ink.h"
#include "hosts/qt/qt_gdi.h"

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
    QImage buffer(1920, 1080, QImage::Format_RGB32);
    buffer.fill(0xFF000000u);
    BufferInk ink;
    ink.reset(buffer, 0xFF000000u);
    const PixelRows rows = rowsOf(buffer);
    std::size_t index = 0;
    for (auto _ : state) {
        const CurveBuffer& curve = *curves[index];
        ink.clear(buffer, 0xFF000000u);
        drawPolyline(rows, curve.CurvePoints.data(), curve.PointCount + 1, penWidth, 0xFFFFC040u);
        ink.inked(curve.CurvePoints.data(), curve.PointCount + 1, penWidth);
        benchmark::DoNotOptimize(ink.damage().takeChanged().data());
        benchmark::ClobberMemory();
        index = (index + 1) % curves.size();
    }
}
BENCHMARK(BM_CurveFrameInBuffer)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace loopster

BENCHMARK_MAIN();
