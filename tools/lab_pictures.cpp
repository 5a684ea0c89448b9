// The lab's pictures: its own window, clock and event loop for the saver's render loop, drawn on
// with the Linux saver's drawing calls.
#include "tools/lab_pictures.h"

#include <QColor>
#include <QRect>
#include <algorithm>
#include <vector>

#include "core/geometry/pixel_mapping.h"
#include "core/pattern/pattern_globals.h"
#include "core/pattern/standard_random.h"
#include "core/raster/buffer_ink.h"
#include "core/raster/raster_gdi.h"
#include "core/saver/render_loop.h"
#include "core/saver/saver_state.h"

namespace loopster {

namespace {

// A window that is only an image: the render loop clears and draws it like the saver window, and
// nothing ever shows it.
class ImageWindow final : public SaverWindow, public RasterSurface {
  public:
    explicit ImageWindow(QSize size) : m_image(size, QImage::Format_RGB32) {
        m_ink.reset(rows(), m_background);
    }

    void setEventHandler(SaverWindowEvents* /*handler*/) override {}
    int scaleHeight() override { return m_image.height(); }
    int scaleWidth() override { return m_image.width(); }
    void setBackColor(std::int32_t colour) override { m_background = toRgb32(colour); }
    void show() override {}
    Handle hDC() override { return kDeviceContext; }
    void cls() override {
        m_ink.moveTo(rows());
        m_ink.clear(m_background);
    }
    void close() override {}
    void polyline(const CurvePoint* points, int count, int penWidth,
                  std::uint32_t colour) override {
        m_ink.moveTo(rows());
        m_ink.polyline(points, count, penWidth, colour);
    }

    const QImage& image() const { return m_image; }

  private:
    // The image's pixels, copied first when a frame handed out before still shares them.
    PixelRows rows() {
        return PixelRows{reinterpret_cast<std::uint32_t*>(m_image.bits()),
                         static_cast<std::size_t>(m_image.bytesPerLine()) / sizeof(std::uint32_t),
                         m_image.width(), m_image.height()};
    }

    static constexpr Handle kDeviceContext = 0x10;
    QImage m_image;
    std::uint32_t m_background = 0xFF000000u;
    BufferInk m_ink;
};

// Thrown from the event loop when the run's time is up: the render loop itself never returns.
struct RunOver {};

// Virtual time: it moves only when the render loop waits, straight to the end of the wait.
class VirtualClock final : public Clock {
  public:
    std::uint32_t GetTickCount() override { return now; }
    float secondsSinceMidnight() override { return 0; }
    std::uint32_t now = 0;
};

// Every wait of the render loop holds the frame it has just drawn, so each wait is one frame on
// screen for the time waited.
class CapturingEventLoop final : public EventLoop {
  public:
    CapturingEventLoop(ImageWindow& window, VirtualClock& clock, FrameSink& sink, int endMs,
                       const std::function<void(int)>& progress)
        : m_window(window), m_clock(clock), m_sink(sink), m_endMs(endMs), m_progress(progress) {}

    void pumpEvents() override {}
    void waitForEvents(std::int32_t timeoutMs) override {
        if (timeoutMs <= 0) {
            return;
        }
        // The lab's runs last seconds, far below the tick's wrap.
        const int start = static_cast<int>(m_clock.now);
        const int end = start + timeoutMs;
        m_sink.frame(m_window.image(), start, end - start);
        ++frames;
        m_clock.now = static_cast<std::uint32_t>(end);
        if (m_progress) {
            m_progress(end);
        }
        if (end >= m_endMs) {
            throw RunOver{};
        }
    }

    int frames = 0;

  private:
    ImageWindow& m_window;
    VirtualClock& m_clock;
    FrameSink& m_sink;
    int m_endMs;
    const std::function<void(int)>& m_progress;
};

// Draws one polyline with the render loop's own frame drawing, between the pens it makes.
void drawLikeTheLoop(ImageWindow& window, const CurveBuffer& mapped, int lineWidth,
                     std::int32_t colour) {
    RasterGdi gdi(window);
    const Handle neutralPen = gdi.CreatePen(PS_SOLID, 1, kNeutralPenColour);
    const Handle framePen = gdi.CreatePen(PS_SOLID, lineWidth, colour);
    window.setBackColor(0);
    drawFramePolyline(gdi, window, window.hDC(), framePen, neutralPen, mapped.CurvePoints.data(),
                      mapped.PointCount + 1);
    gdi.DeleteObject(framePen);
    gdi.DeleteObject(neutralPen);
}

}  // namespace

std::unique_ptr<CurveBuffer> mappedCurve(const FrameRecord& record, QSize size) {
    auto table = std::make_unique<FrameTable>();
    (*table)[0] = record;
    auto curve = std::make_unique<CurveBuffer>();
    const PatternGlobals globals;
    TraceCurve(0, *table, globals.PiValue, *curve);
    mapToPixels(*curve, static_cast<float>(size.width()), static_cast<float>(size.height()),
                globals.FillRatio);
    return curve;
}

QImage drawnFrame(const CurveBuffer& mapped, QSize size, int lineWidth, std::int32_t colour) {
    ImageWindow window(size);
    drawLikeTheLoop(window, mapped, lineWidth, colour);
    return window.image().copy();
}

std::string svgFrame(const CurveBuffer& mapped, QSize size, int lineWidth, std::int32_t colour) {
    const std::string width = std::to_string(size.width());
    const std::string height = std::to_string(size.height());
    const QString stroke = QColor::fromRgb(toRgb32(colour)).name(QColor::HexRgb);
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height +
        "\">\n<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"#000000\"/>\n";
    // A pixel's centre lies half a pixel from its corner, so the shift puts each point on the
    // pixel the saver inks for it.
    svg += "<polyline transform=\"translate(0.5 0.5)\" fill=\"none\" stroke=\"" +
           stroke.toStdString() + "\" stroke-width=\"" + std::to_string(std::max(lineWidth, 1)) +
           "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" points=\"";
    for (int j = 0; j <= mapped.PointCount; ++j) {
        const CurvePoint& point = mapped.CurvePoints[static_cast<std::size_t>(j)];
        svg += (j == 0 ? "" : " ") + std::to_string(point.x) + "," + std::to_string(point.y);
    }
    svg += "\"/>\n</svg>\n";
    return svg;
}

PlayedRun playSaver(const SaverRun& run, FrameSink& sink,
                    const std::function<void(int ms)>& progress) {
    ImageWindow window(run.size);
    RasterGdi gdi(window);
    VirtualClock clock;
    CapturingEventLoop eventLoop(window, clock, sink, run.milliseconds, progress);
    StandardRandom random;

    // The start-up's settings for saver mode, with the run's frame rate and pen.
    const auto state = std::make_unique<SaverState>();
    PatternGlobals& globals = state->globals;
    globals.FillRatio = 0.85;
    globals.PiValue = 3.141592654;
    globals.FixedGearSize = 100.0;
    globals.RollingGearSize = 40;
    globals.FrameRate = run.frameRate;
    globals.LineWidth = run.lineWidth;
    random.seed(run.seed);

    SaverServices services{window, gdi, clock, eventLoop, random};
    services.pin = run.pin ? &*run.pin : nullptr;
    try {
        RunSaver(services, *state);
    } catch (const RunOver&) {
    }
    return {eventLoop.frames, static_cast<int>(clock.now)};
}

}  // namespace loopster

namespace loopster {

namespace {

class FirstFrame final : public FrameSink {
  public:
    void frame(const QImage& image, int /*startMs*/, int /*durationMs*/) override {
        if (picture.isNull()) {
            picture = image.copy();
        }
    }
    QImage picture;
};

}  // namespace

QImage firstFrame(const SaverRun& run) {
    SaverRun once = run;
    once.milliseconds = 1;
    FirstFrame sink;
    playSaver(once, sink, nullptr);
    return sink.picture;
}

}  // namespace loopster
