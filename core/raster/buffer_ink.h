// A buffer of 32-bit pixels and what the frames drawn on it have inked: the damage tracker and
// the polylines drawn since the last clear, so that the next clear takes their ink away by drawing
// them again in the background rather than filling the whole buffer. Any window that keeps its
// frames in memory (the Qt saver window off X11, the lab's pictures, the Windows checks) draws
// this way, over rows it owns (PixelBuffer) or over an image's own bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/curve_point.h"
#include "core/raster/damage.h"
#include "core/raster/pen_raster.h"

namespace loopster {

// Rows of `width` x `height` pixels, allocated without throwing: a buffer that cannot be had is
// one line of the caller's (noBufferMessage) rather than an exception from deep in a frame.
class PixelBuffer {
  public:
    // False, with no rows, when there is no memory for them. Replaces what was held before.
    bool allocate(int width, int height);
    // Null pixels until allocated.
    PixelRows rows() const { return m_rows; }

  private:
    std::unique_ptr<std::uint32_t[]> m_memory;
    PixelRows m_rows{nullptr, 0, 0, 0};
};

// The line that reports a buffer of `width` x `height` pixels that could not be had.
std::string noBufferMessage(int width, int height);

// Sets every pixel of `area` (clipped to the rows) to `colour`.
void fillRect(const PixelRows& rows, const DamageRect& area, std::uint32_t colour);

class BufferInk {
  public:
    // Fills `rows` whole with `colour`, at what may be a new size: nothing on them is inked and
    // nothing counts as changed.
    void reset(const PixelRows& rows, std::uint32_t colour);

    // The same pixels now lie in `rows` (a copy of the buffer), which are drawn on from now on.
    void moveTo(const PixelRows& rows) { m_rows = rows; }

    // Draws a polyline on the rows and remembers it for the next clear.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour);

    // Fills with `colour` what the polylines since the last clear inked, or the whole buffer when
    // it holds another colour; either way the filled area counts as changed.
    void clear(std::uint32_t colour);

    const PixelRows& rows() const { return m_rows; }

    // The tiles that changed since the window last showed them.
    DamageTracker& damage() { return m_damage; }

  private:
    struct DrawnPolyline {
        int count;
        int width;
    };

    PixelRows m_rows{nullptr, 0, 0, 0};
    std::uint32_t m_filledWith = 0xFF000000u;
    DamageTracker m_damage;
    // The polylines drawn since the last clear, their points one after the other.
    std::vector<DrawnPolyline> m_drawn;
    std::vector<CurvePoint> m_drawnPoints;
};

}  // namespace loopster
