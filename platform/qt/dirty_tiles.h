// Which parts of the saver's back buffer hold ink and which the screen has not been sent yet,
// tracked in square tiles. A curve covers a small share of its bounding box (a quarter to a third
// for dense ones, less for rings), so clearing and repainting only its tiles keeps most of the
// copying (into the buffer, into Qt's backing store and over to the X server) off every frame.
#pragma once

#include <QRect>
#include <QRegion>
#include <QSize>
#include <cstdint>
#include <vector>

namespace loopster {

class DirtyTiles {
  public:
    // 16 pixels: smaller tiles follow the curve closer but hand Qt and X many more rectangles.
    static constexpr int kTileSize = 16;

    // Forgets every tile; a new size starts with nothing inked and nothing changed.
    void resize(const QSize& size);

    // An area that now holds ink and has changed; clipped to the buffer.
    void markInked(const QRect& area);
    // An area that has changed without holding ink (a fill with the background); clipped.
    void markChanged(const QRect& area);

    // The inked tiles as rectangles, one for each run of tiles along a row, for the caller to
    // fill with the background; they count as changed from now on and no longer as inked.
    std::vector<QRect> clearInked();
    // Forgets the ink without marking anything, after the whole buffer has been filled.
    void forgetInked();

    // The changed tiles as one region, which then counts as sent.
    QRegion takeChanged();

  private:
    enum : std::uint8_t { kInked = 1, kChanged = 2 };

    void mark(const QRect& area, std::uint8_t flags);
    // Runs of tiles with `flag` as rectangles in the order a region keeps them (rows top to
    // bottom, left to right within a row); clears `flag` and sets `alsoSet` on those tiles.
    std::vector<QRect> runs(std::uint8_t flag, std::uint8_t alsoSet);

    QSize m_size;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::uint8_t> m_tiles;
};

}  // namespace loopster
