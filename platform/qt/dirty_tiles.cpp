// The tile map of the saver's back buffer.
#include "platform/qt/dirty_tiles.h"

#include <algorithm>
#include <cstddef>

namespace loopster {

void DirtyTiles::resize(const QSize& size) {
    m_size = size;
    m_columns = (std::max(size.width(), 0) + kTileSize - 1) / kTileSize;
    m_rows = (std::max(size.height(), 0) + kTileSize - 1) / kTileSize;
    m_tiles.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0);
}

void DirtyTiles::markInked(const QRect& area) {
    mark(area, kInked | kChanged);
}

void DirtyTiles::markChanged(const QRect& area) {
    mark(area, kChanged);
}

std::vector<QRect> DirtyTiles::clearInked() {
    return runs(kInked, kChanged);
}

void DirtyTiles::forgetInked() {
    for (std::uint8_t& tile : m_tiles) {
        tile = static_cast<std::uint8_t>(tile & ~kInked);
    }
}

QRegion DirtyTiles::takeChanged() {
    const std::vector<QRect> rows = runs(kChanged, 0);
    // A region keeps its rectangles in bands: rows of equal height, left to right, no two
    // touching within a band, and two bands that meet merged into one when their rectangles line
    // up. The runs already come in rows, so only the merging is left.
    std::vector<QRect> bands;
    bands.reserve(rows.size());
    std::size_t band = 0;
    std::size_t next = 0;
    while (next < rows.size()) {
        std::size_t end = next;
        while (end < rows.size() && rows[end].top() == rows[next].top()) {
            ++end;
        }
        const std::size_t bandSize = bands.size() - band;
        bool extends =
            bandSize == end - next && bandSize > 0 && bands[band].bottom() + 1 == rows[next].top();
        for (std::size_t j = 0; extends && j < bandSize; ++j) {
            extends = bands[band + j].left() == rows[next + j].left() &&
                      bands[band + j].right() == rows[next + j].right();
        }
        if (extends) {
            for (std::size_t j = 0; j < bandSize; ++j) {
                bands[band + j].setBottom(rows[next + j].bottom());
            }
        } else {
            band = bands.size();
            bands.insert(bands.end(), rows.begin() + static_cast<std::ptrdiff_t>(next),
                         rows.begin() + static_cast<std::ptrdiff_t>(end));
        }
        next = end;
    }
    QRegion region;
    region.setRects(bands.data(), static_cast<int>(bands.size()));
    return region;
}

void DirtyTiles::mark(const QRect& area, std::uint8_t flags) {
    const QRect clipped = area.intersected(QRect(QPoint(0, 0), m_size));
    if (clipped.isEmpty()) {
        return;
    }
    const int left = clipped.left() / kTileSize;
    const int right = clipped.right() / kTileSize;
    const int top = clipped.top() / kTileSize;
    const int bottom = clipped.bottom() / kTileSize;
    for (int row = top; row <= bottom; ++row) {
        const auto first = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
        for (int column = left; column <= right; ++column) {
            std::uint8_t& tile = m_tiles[first + static_cast<std::size_t>(column)];
            tile = static_cast<std::uint8_t>(tile | flags);
        }
    }
}

std::vector<QRect> DirtyTiles::runs(std::uint8_t flag, std::uint8_t alsoSet) {
    std::vector<QRect> rects;
    const QRect bounds(QPoint(0, 0), m_size);
    for (int row = 0; row < m_rows; ++row) {
        const auto first = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
        int column = 0;
        while (column < m_columns) {
            if ((m_tiles[first + static_cast<std::size_t>(column)] & flag) == 0) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < m_columns &&
                   (m_tiles[first + static_cast<std::size_t>(column)] & flag) != 0) {
                std::uint8_t& tile = m_tiles[first + static_cast<std::size_t>(column)];
                tile = static_cast<std::uint8_t>((tile & ~flag) | alsoSet);
                ++column;
            }
            rects.push_back(
                QRect(start * kTileSize, row * kTileSize, (column - start) * kTileSize, kTileSize)
                    .intersected(bounds));
        }
    }
    return rects;
}

}  // namespace loopster
