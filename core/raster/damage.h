// Which parts of a window's back buffer hold the curve and which the screen has not been shown
// yet, kept in square tiles. A curve covers a small share of its bounding box (a quarter to a
// third for dense ones, less for rings), so clearing and showing only its tiles keeps most of the
// copying off every frame, and the cost follows the curve's length rather than the screen's size.
// Both platform layers keep one per back buffer; the rectangles come out in the banded order that
// regions of the window systems take as they are (X clip rectangles, Qt and GDI regions).
#pragma once

#include <cstdint>
#include <vector>

#include "seam/gdi.h"

namespace loopster {

// A rectangle of pixels; right and bottom lie just outside it.
struct DamageRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const DamageRect&, const DamageRect&) = default;
};

class DamageTracker {
  public:
    // 16 pixels: smaller tiles follow the curve closer but hand the window system many more
    // rectangles.
    static constexpr int kDefaultTileSize = 16;

    explicit DamageTracker(int tileSize = kDefaultTileSize);

    // Forgets every tile; a new size starts with nothing inked and nothing changed.
    void resize(int width, int height);
    int width() const { return m_width; }
    int height() const { return m_height; }

    // A polyline of `count` points drawn with a pen `penWidth` pixels wide (0 or less is one
    // pixel): every pixel it can have inked now holds ink and has changed. Points far outside
    // the buffer are fine; only what lies inside is marked.
    void addPolyline(const CurvePoint* points, int count, int penWidth);
    // Appends to `boxes` rectangles, clipped to the buffer, that together hold every pixel such a
    // polyline can have inked: one around each short segment, and a run of them along a long
    // slanting one; for filling with the background.
    void inkedBoxes(const CurvePoint* points, int count, int penWidth,
                    std::vector<DamageRect>& boxes) const;
    // An area that has changed without holding ink (a fill with the background); clipped.
    void addChanged(const DamageRect& area);

    // The inked tiles, for the caller to fill with the background; they count as changed from
    // now on and no longer as inked. Valid until the next call.
    const std::vector<DamageRect>& takeInked();
    // Forgets the ink without marking anything, after the whole buffer has been filled.
    void forgetInked();

    // The changed tiles, which then count as shown: rows of tiles top to bottom, each row's runs
    // left to right, touching rows with the same runs merged into one band. Valid until the next
    // call.
    const std::vector<DamageRect>& takeChanged();

    // The smallest rectangle around `rects`; empty when they are.
    static DamageRect bounds(const std::vector<DamageRect>& rects);

  private:
    enum : std::uint8_t { kInked = 1, kChanged = 2 };

    // Sets `flags` on every tile that the box (right and bottom outside it) touches in the buffer.
    void mark(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
              std::uint8_t flags);
    // Runs of tiles with `flag` in banded order; clears `flag` and sets `alsoSet` on them.
    void collect(std::uint8_t flag, std::uint8_t alsoSet);

    int m_tileSize;
    int m_width = 0;
    int m_height = 0;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::uint8_t> m_tiles;
    // Reused from frame to frame, so that a frame allocates nothing once the first is done.
    std::vector<DamageRect> m_rects;
    std::vector<DamageRect> m_row;
    std::vector<DamageRect> m_boxes;
};

}  // namespace loopster
