// The hack's surface over another program's window.
#include "hosts/xscreensaver/foreign_window.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace loopster {

namespace {

std::string hexId(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(id));
    return text;
}

}  // namespace

ForeignWindow::ForeignWindow(xcb_connection_t* connection, std::uint32_t window, Process& process)
    : m_connection(connection), m_window(window), m_process(process) {}

ForeignWindow::~ForeignWindow() {
    release();
}

std::optional<std::string> ForeignWindow::attach() {
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), &error);
    if (geometry == nullptr) {
        std::free(error);
        return "there is no window " + hexId(m_window);
    }
    m_depth = geometry->depth;
    m_size = QSize(geometry->width, geometry->height);
    std::free(geometry);
    // A drawable that is not a window is a pixmap: nothing would ever show what is drawn on it.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, m_window), &error);
    if (attributes == nullptr) {
        std::free(error);
        return hexId(m_window) + " is a pixmap, not a window";
    }
    std::free(attributes);

    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    int bitsPerPixel = 0;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem != 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == m_depth) {
            bitsPerPixel = formats.data->bits_per_pixel;
        }
    }
    const std::uint8_t hostOrder = std::endian::native == std::endian::little
                                       ? XCB_IMAGE_ORDER_LSB_FIRST
                                       : XCB_IMAGE_ORDER_MSB_FIRST;
    // The back buffer holds 0xFFRRGGBB words: depth 24 ignores the top byte, depth 32 takes it
    // as opaque alpha.
    if ((m_depth != 24 && m_depth != 32) || bitsPerPixel != 32 ||
        setup->image_byte_order != hostOrder) {
        return "the window " + hexId(m_window) + " has " + std::to_string(m_depth) +
               "-bit colour, and only 24- or 32-bit true colour is drawn";
    }

    // Only to hear of the window's destruction. The window may have other listeners; this adds
    // the hack's connection to them and takes nothing from them.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_window, XCB_CW_EVENT_MASK, &events);
    xcb_flush(m_connection);
    return std::nullopt;
}

void ForeignWindow::setEventHandler(SaverWindowEvents* /*handler*/) {}

QSize ForeignWindow::querySize() {
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_window), &error);
    if (geometry == nullptr) {
        std::free(error);
        if (xcb_connection_has_error(m_connection) != 0) {
            end(1, "loopster: lost the connection to the X server");
        }
        end(1, "loopster: the window " + hexId(m_window) + " is gone");
    }
    m_size = QSize(geometry->width, geometry->height);
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    // The root window's size is the screen's as it is now, which RandR may have changed since
    // the connection's setup was sent.
    geometry = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, root), nullptr);
    if (geometry != nullptr) {
        m_screen = QSize(geometry->width, geometry->height);
        std::free(geometry);
    }
    return m_size;
}

int ForeignWindow::scaleHeight() {
    return querySize().height();
}

int ForeignWindow::scaleWidth() {
    return querySize().width();
}

void ForeignWindow::setBackColor(std::int32_t colour) {
    m_backColour = toQRgb(colour);
}

void ForeignWindow::show() {}

// One surface, one back buffer: its device context is a constant handle.
Handle ForeignWindow::hDC() {
    buffer();
    return 1;
}

void ForeignWindow::close() {}

// No more of the window than its screen can show has a buffer: a window far larger than the
// screen (the daemon may make one) would otherwise take gigabytes for pixels nobody sees. The
// buffer starts at the window's top-left corner, where a window on the screen shows; drawing
// past its edges is clipped.
QSize ForeignWindow::bufferSize() const {
    QSize size = m_size;
    if (!m_screen.isEmpty()) {
        size = size.boundedTo(m_screen);
    }
    return size.expandedTo(QSize(1, 1));
}

QImage& ForeignWindow::buffer() {
    if (m_buffer.size() != bufferSize()) {
        resizeBuffer(bufferSize());
    }
    return m_buffer;
}

void ForeignWindow::resizeBuffer(const QSize& bufferSize) {
    m_buffer = QImage();
    m_memory.reset();
    m_presenter.reset();
    m_presenter = X11ShmPresenter::create(m_connection, m_window, bufferSize);
    if (m_presenter) {
        // The image does not own the shared memory and must not outlive the presenter.
        m_buffer = QImage(m_presenter->memory(), bufferSize.width(), bufferSize.height(),
                          bufferSize.width() * static_cast<int>(sizeof(std::uint32_t)),
                          QImage::Format_RGB32);
    } else {
        m_buffer = allocateBuffer(bufferSize, m_memory);
    }
    if (m_buffer.isNull()) {
        // Drawing on nothing would warn at every frame; one line says why instead.
        end(1, noBufferMessage(bufferSize));
    }
    m_buffer.fill(m_backColour);
    m_ink.reset(m_buffer, m_backColour);
    // What the window showed before belongs to its old size or to another program: the first
    // frame puts the whole buffer.
    m_ink.damage().addChanged(DamageRect{0, 0, m_buffer.width(), m_buffer.height()});
}

void ForeignWindow::settle() {
    if (m_presenter) {
        m_presenter->settle();
    }
}

QImage& ForeignWindow::backBuffer() {
    settle();
    return buffer();
}

// While the buffer holds nothing else, filling the small boxes around the last polylines' segments
// takes away every pixel they inked; their tiles go to the window with the frame drawn next, so it
// never shows the curve half gone.
void ForeignWindow::cls() {
    settle();
    buffer();
    m_ink.clear(m_buffer, m_backColour);
}

void ForeignWindow::inked(const CurvePoint* points, int count, int penWidth) {
    m_ink.inked(points, count, penWidth);
    putChanged();
}

void ForeignWindow::putChanged() {
    const std::vector<DamageRect>& changed = m_ink.damage().takeChanged();
    if (changed.empty()) {
        return;
    }
    if (m_presenter) {
        if (m_presenter->put(changed)) {
            return;
        }
        // The window turned out not to take the shared pixels: carry on in ordinary memory.
        release();
    }
    putPlain(changed);
}

void ForeignWindow::putPlain(const std::vector<DamageRect>& rects) {
    if (m_gc == 0) {
        m_gc = xcb_generate_id(m_connection);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(m_connection, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    // A request holds at most this many bytes (BIG-REQUESTS raises it far beyond the 256 KiB of
    // the core protocol); a larger area goes in bands of whole rows.
    const std::size_t header = 32;
    const std::size_t maxBytes =
        static_cast<std::size_t>(xcb_get_maximum_request_length(m_connection)) * 4 - header;
    const QRect whole = m_buffer.rect();
    for (const DamageRect& area : rects) {
        const QRect rect =
            QRect(area.left, area.top, area.width(), area.height()).intersected(whole);
        if (rect.isEmpty()) {
            continue;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
        const int bandRows = static_cast<int>(std::max<std::size_t>(1, maxBytes / rowBytes));
        for (int top = rect.top(); top <= rect.bottom(); top += bandRows) {
            const int rows = std::min(bandRows, rect.bottom() + 1 - top);
            m_rows.resize(rowBytes * static_cast<std::size_t>(rows));
            for (int y = 0; y < rows; ++y) {
                std::memcpy(
                    m_rows.data() + rowBytes * static_cast<std::size_t>(y),
                    m_buffer.constScanLine(top + y) + static_cast<std::size_t>(rect.left()) * 4,
                    rowBytes);
            }
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc,
                          static_cast<std::uint16_t>(rect.width()),
                          static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(rect.left()),
                          static_cast<std::int16_t>(top), 0, m_depth,
                          static_cast<std::uint32_t>(m_rows.size()), m_rows.data());
        }
    }
    xcb_flush(m_connection);
}

void ForeignWindow::release() {
    if (!m_presenter) {
        return;
    }
    // The buffer may lie in the presenter's memory: keep its pixels in ordinary memory.
    QImage copy = m_buffer.copy();
    m_buffer = QImage();
    m_presenter.reset();
    m_buffer = std::move(copy);
}

void ForeignWindow::end(int exitCode, const std::string& line) {
    // Nothing is drawn any more, so the pixels need not be kept.
    m_buffer = QImage();
    m_presenter.reset();
    m_memory.reset();
    if (!line.empty()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    m_process.endProcess(exitCode);
    // Not reached: the compiler does not carry the promise of a virtual call over.
    std::abort();
}

}  // namespace loopster
