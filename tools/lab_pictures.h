// Pictures of the saver for loopster-lab: one frame drawn with the saver's own mapping and drawing
// calls on an image of its own, the same frame as SVG, and a run of the saver's render loop on a
// virtual clock that hands every frame, with its time on screen, to a sink.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/geometry/curve_tracer.h"
#include "core/pattern/frame_table.h"
#include "core/saver/render_loop.h"

namespace loopster {

// One frame record's curve, traced and mapped to the pixels of an area of `size`, as the render
// loop maps it. A record the engine cannot trace throws its RunError.
std::unique_ptr<CurveBuffer> mappedCurve(const FrameRecord& record, QSize size);

// The mapped curve drawn as the saver draws a frame: on black, one polyline of `PointCount + 1`
// points with a solid pen of `lineWidth` pixels in `colour` (red + 256 * green + 65536 * blue).
QImage drawnFrame(const CurveBuffer& mapped, QSize size, int lineWidth, std::int32_t colour);

// The same frame as an SVG document: a black rectangle and the mapped points as one polyline.
std::string svgFrame(const CurveBuffer& mapped, QSize size, int lineWidth, std::int32_t colour);

// Receives the frames of a run in order; `image` is valid only during the call.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    virtual void frame(const QImage& image, int startMs, int durationMs) = 0;
};

struct SaverRun {
    float seed = 0;
    int milliseconds = 0;
    QSize size;
    std::int16_t frameRate = 30;
    int lineWidth = 1;
    // When set, the run holds this pattern and frame still, as the saver does under the test
    // switch LOOPSTER_TEST_PIN (its seed then stands in for `seed`).
    std::optional<FramePin> pin;
};

struct PlayedRun {
    int frames = 0;
    // When the last frame ends: `run.milliseconds` rounded up to a whole frame.
    int milliseconds = 0;
};

// Runs the saver's render loop for `run.milliseconds` of virtual time from a sheet seeded with
// `run.seed` and passes each frame to `sink`. Every frame keeps its whole time on screen, the last
// one too, so that an animation that loops keeps its pace across the seam. `progress`, when set,
// hears the virtual time after each frame.
PlayedRun playSaver(const SaverRun& run, FrameSink& sink,
                    const std::function<void(int ms)>& progress);

// The first frame that the saver shows of a run: with `run.pin`, the pinned frame exactly as the
// saver and the hack show it under LOOPSTER_TEST_PIN at that size and pen.
QImage firstFrame(const SaverRun& run);

}  // namespace loopster
