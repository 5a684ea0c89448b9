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
    m_size = PixelSize{geometry->width, geometry->height};
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

PixelSize ForeignWindow::querySize() {
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
    m_size = PixelSize{geometry->width, geometry->height};
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    // The root window's size is the screen's as it is now, which RandR may have changed since
    // the connection's setup was sent.
    geometry = xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, root), nullptr);
    if (geometry != nullptr) {
        m_screen = PixelSize{geometry->width, geometry->height};
        std::free(geometry);
    }
    return m_size;
}

int ForeignWindow::scaleHeight() {
    return querySize().height;
}

int ForeignWindow::scaleWidth() {
    return querySize().width;
}

void ForeignWindow::setBackColor(std::int32_t colour) {
    m_backColour = toRgb32(colour);
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
PixelSize ForeignWindow::bufferSize() const {
    PixelSize size = m_size;
    if (!m_screen.empty()) {
        size.width = std::min(size.width, m_screen.width);
        size.height = std::min(size.height, m_screen.height);
    }
    return PixelSize{std::max(size.width, 1), std::max(size.height, 1)};
}

void ForeignWindow::buffer() {
    const PixelRows rows = m_buffer.rows();
    if (PixelSize{rows.width, rows.height} != bufferSize()) {
        resizeBuffer(bufferSize());
    }
}

void ForeignWindow::resizeBuffer(const PixelSize& size) {
    if (!m_buffer.allocate(size.width, size.height)) {
        // Drawing on nothing would fail at every frame; one line says why instead.
        end(1, noBufferMessage(size.width, size.height));
    }
    m_ink.reset(m_buffer.rows(), m_backColour);
    // What the window showed before belongs to its old size or to another program: the first
    // frame puts the whole buffer.
    m_ink.damage().addChanged(DamageRect{0, 0, size.width, size.height});
}

// While the buffer holds nothing else, drawing the last polylines again in the background takes
// away every pixel they inked; their tiles go to the window with the frame drawn next, so it
// never shows the curve half gone.
void ForeignWindow::cls() {
    buffer();
    m_ink.clear(m_backColour);
}

void ForeignWindow::polyline(const CurvePoint* points, int count, int penWidth,
                             std::uint32_t colour) {
    buffer();
    m_ink.polyline(points, count, penWidth, colour);
    putChanged();
}

void ForeignWindow::putChanged() {
    const std::vector<DamageRect>& changed = m_ink.damage().takeChanged();
    if (!changed.empty()) {
        putPlain(changed);
    }
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
    // Bands of at most 256 KiB keep the copy of their rows small beside the buffer itself.
    const std::size_t maxBytes = std::min<std::size_t>(
        static_cast<std::size_t>(xcb_get_maximum_request_length(m_connection)) * 4 - header,
        std::size_t{256} * 1024);
    const PixelRows pixels = m_buffer.rows();
    for (const DamageRect& area : rects) {
        const DamageRect rect{std::max(area.left, 0), std::max(area.top, 0),
                              std::min(area.right, pixels.width),
                              std::min(area.bottom, pixels.height)};
        if (rect.empty()) {
            continue;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
        const int bandRows = static_cast<int>(std::max<std::size_t>(1, maxBytes / rowBytes));
        for (int top = rect.top; top < rect.bottom; top += bandRows) {
            const int rows = std::min(bandRows, rect.bottom - top);
            m_rows.resize(rowBytes * static_cast<std::size_t>(rows));
            for (int y = 0; y < rows; ++y) {
                std::memcpy(
                    m_rows.data() + rowBytes * static_cast<std::size_t>(y),
                    pixels.pixels + static_cast<std::size_t>(top + y) * pixels.stride + rect.left,
                    rowBytes);
            }
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc,
                          static_cast<std::uint16_t>(rect.width()),
                          static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(rect.left),
                          static_cast<std::int16_t>(top), 0, m_depth,
                          static_cast<std::uint32_t>(m_rows.size()), m_rows.data());
        }
    }
    xcb_flush(m_connection);
}

void ForeignWindow::release() {
    if (m_gc != 0) {
        xcb_free_gc(m_connection, m_gc);
        xcb_flush(m_connection);
        m_gc = 0;
    }
}

void ForeignWindow::end(int exitCode, const std::string& line) {
    release();
    if (!line.empty()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    m_process.endProcess(exitCode);
    // Not reached: the compiler does not carry the promise of a virtual call over.
    std::abort();
}

}  // namespace loopster
