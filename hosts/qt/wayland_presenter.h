// The saver's frames on Wayland, drawn in buffers of the window's own in shared memory (wl_shm)
// that are attached straight to the window's surface with only the changed tiles marked damaged.
// Qt 6.4's backing store cannot do that: whenever the compositor still reads the buffer it last
// sent, which a compositor that samples shared memory in place does until the next one arrives,
// it takes another buffer and copies the whole frame into it, then the widget's back buffer is
// copied in once more. Here each frame is drawn in a buffer the compositor has released. Every
// buffer clears its own last curve, as a single back buffer does, so nothing is copied between
// them: a frame costs a clear and a curve in whichever buffer it lands in.
#pragma once

#include <QSize>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/curve_point.h"
#include "core/raster/damage.h"
#include "core/raster/pen_raster.h"

class QWindow;

namespace loopster {

class WaylandPresenter {
  public:
    // A presenter with buffers of `size` device pixels filled with `colour` (0xffRRGGBB), or null
    // when the application does not run on Wayland, the compositor offers no shared memory, or
    // there is no memory for a buffer.
    static std::unique_ptr<WaylandPresenter> create(const QSize& size, std::uint32_t colour);

    ~WaylandPresenter();
    WaylandPresenter(const WaylandPresenter&) = delete;
    WaylandPresenter& operator=(const WaylandPresenter&) = delete;

    // The drawing calls of BufferInk, on the picture the next present shows: each lands in a
    // buffer the compositor does not read, waiting only when it holds every buffer.
    void clear(std::uint32_t colour);
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour);

    // The rows of the buffer that holds the picture, for reading.
    PixelRows rows() const;

    // Shows the picture on `window` with the tiles changed since the last present marked
    // damaged, `scale` device pixels to a window pixel. Without a window (not yet shown or
    // exposed) the changes are dropped, and presentAll shows them later. False when nothing was
    // sent.
    bool present(QWindow* window, int scale);
    // Shows the whole picture again, after the window was exposed.
    bool presentAll(QWindow& window, int scale);

  private:
    struct Connection;
    struct Buffer;

    WaylandPresenter(Connection& connection, const QSize& size);
    // A buffer of the presenter's size, or null without memory for it.
    std::unique_ptr<Buffer> allocate();
    // A buffer to draw on instead of the current one, which the compositor holds; its pixels and
    // ink are as they were.
    Buffer& released();
    // A buffer other than the current one that the compositor has let go of; null when none.
    Buffer* idle();
    bool attach(QWindow& window, const std::vector<DamageRect>& rects, int scale);

    Connection& m_connection;
    QSize m_size;
    std::vector<std::unique_ptr<Buffer>> m_buffers;
    // The buffer that holds the picture.
    Buffer* m_current = nullptr;
    // What the picture holds against what the compositor shows: the curve drawn since the last
    // clear, and the tiles changed since the last present.
    DamageTracker m_picture;
    std::uint32_t m_colour;
};

}  // namespace loopster
