// What a window's back buffer holds of the frames drawn on it: the damage tracker and the
// polylines drawn since the last clear, so that the next clear takes their ink away by drawing
// them again in the background rather than filling the whole buffer. The saver's windows and the
// hack's window over another program's window keep their buffers this way.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/curve_point.h"
#include "core/raster/damage.h"

namespace loopster {

// A back buffer of `size` RGB32 pixels in `memory`, which the image does not own; a null image
// when there is no memory for it. Unlike QImage's own allocation it prints nothing, so that the
// caller can say what failed in one line of its own.
QImage allocateBuffer(const QSize& size, std::unique_ptr<std::uint8_t[]>& memory);

// The line that reports a back buffer of `size` that could not be had.
std::string noBufferMessage(const QSize& size);

class BufferInk {
  public:
    // The buffer has just been filled whole with `colour`, at what may be a new size: nothing on
    // it is inked and nothing counts as changed.
    void reset(const QImage& buffer, std::uint32_t colour);

    // A polyline has been drawn on the buffer.
    void inked(const CurvePoint* points, int count, int penWidth);

    // Fills with `colour` what the polylines since the last clear inked, or the whole buffer when
    // it holds another colour; either way the filled area counts as changed.
    void clear(QImage& buffer, std::uint32_t colour);

    // The tiles that changed since the window last showed them.
    DamageTracker& damage() { return m_damage; }

  private:
    struct DrawnPolyline {
        int count;
        int width;
    };

    std::uint32_t m_filledWith = 0xFF000000u;
    DamageTracker m_damage;
    // The polylines drawn since the last clear, their points one after the other.
    std::vector<DrawnPolyline> m_drawn;
    std::vector<CurvePoint> m_drawnPoints;
};

}  // namespace loopster
