// Frames as the pen's pixels, sent to an X window.
#include "hosts/x11/x11_presenter.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace loopster {

namespace {

std::string hexId(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(id));
    return text;
}

// The description of `visual` among the screens' visuals, or null.
const xcb_visualtype_t* findVisual(const xcb_setup_t* setup, xcb_visualid_t visual) {
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem != 0;
         xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem != 0;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem != 0;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == visual) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> x11PixelFormatProblem(xcb_connection_t* connection,
                                                 std::uint32_t window) {
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &error);
    if (geometry == nullptr) {
        std::free(error);
        return "there is no window " + hexId(window);
    }
    const std::uint8_t depth = geometry->depth;
    std::free(geometry);
    // A drawable that is not a window is a pixmap: nothing would ever show what is drawn on it.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), &error);
    if (attributes == nullptr) {
        std::free(error);
        return hexId(window) + " is a pixmap, not a window";
    }
    const xcb_visualtype_t* visual = findVisual(xcb_get_setup(connection), attributes->visual);
    std::free(attributes);
    // A pixel value is then 0xRRGGBB, whatever the server's byte order: the requests carry the
    // value, not memory.
    const bool trueColour = visual != nullptr && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                            visual->red_mask == 0xFF0000u && visual->green_mask == 0xFF00u &&
                            visual->blue_mask == 0xFFu;
    if ((depth != 24 && depth != 32) || !trueColour) {
        return "the window " + hexId(window) + " has " + std::to_string(depth) +
               "-bit colour, and only 24- or 32-bit true colour is drawn";
    }
    return std::nullopt;
}

std::unique_ptr<X11Presenter> X11Presenter::create(xcb_connection_t* connection,
                                                   std::uint32_t window, int width, int height,
                                                   std::string* problem) {
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        if (problem != nullptr) {
            *problem = "no connection to the X server";
        }
        return nullptr;
    }
    if (const auto why = x11PixelFormatProblem(connection, window)) {
        if (problem != nullptr) {
            *problem = *why;
        }
        return nullptr;
    }
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    const std::uint8_t depth = geometry != nullptr ? geometry->depth : 24;
    std::free(geometry);
    std::unique_ptr<X11Presenter> presenter(new X11Presenter(connection, window, depth));
    presenter->resize(width, height);
    return presenter;
}

X11Presenter::X11Presenter(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth)
    : m_connection(connection),
      m_window(window),
      m_pixelMask(depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1u) {
    // The largest request the server takes, in 4-byte units, with BIG-REQUESTS where it has it;
    // a PolyPoint takes three units (four as a big request) before its points.
    const std::uint32_t longest = xcb_get_maximum_request_length(connection);
    m_chunk = std::clamp<std::size_t>(longest > 4 ? longest - 4 : 1, 1, std::size_t{1} << 20);
    m_gc = xcb_generate_id(connection);
    const std::uint32_t values[] = {m_foreground, 0};
    xcb_create_gc(connection, m_gc, window, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
}

X11Presenter::~X11Presenter() {
    if (xcb_connection_has_error(m_connection) != 0) {
        return;
    }
    settle();
    xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

void X11Presenter::resize(int width, int height) {
    if (width == m_shown.width() && height == m_shown.height()) {
        return;
    }
    m_shown.resize(width, height);
    m_sent.clear();
    m_old.clear();
    m_clearPending = false;
    // What the window shows belongs to its old size or to another program: the next frame
    // starts from the background.
    m_filled = false;
}

void X11Presenter::settle() {
    if (!m_fenced) {
        return;
    }
    // The reply to a request sent after the frame: the server handles a connection's requests in
    // order, so once it has answered, it has drawn the frame.
    xcb_get_input_focus_cookie_t cookie{};
    cookie.sequence = m_fence;
    m_fenced = false;
    std::free(xcb_get_input_focus_reply(m_connection, cookie, nullptr));
}

void X11Presenter::fence() {
    // A previous fence, if any, is older than this one and answered before it.
    if (m_fenced) {
        xcb_discard_reply(m_connection, m_fence);
    }
    m_fence = xcb_get_input_focus(m_connection).sequence;
    m_fenced = true;
    xcb_flush(m_connection);
}

void X11Presenter::setForeground(std::uint32_t colour) {
    const std::uint32_t pixel = colour & m_pixelMask;
    if (pixel != m_foreground) {
        m_foreground = pixel;
        xcb_change_gc(m_connection, m_gc, XCB_GC_FOREGROUND, &m_foreground);
    }
}

void X11Presenter::sendPoints(const PixelPoint* points, std::size_t count) {
    // PixelPoint is laid out as xcb_point_t: two 16-bit coordinates.
    static_assert(sizeof(PixelPoint) == sizeof(xcb_point_t));
    for (std::size_t first = 0; first < count; first += m_chunk) {
        xcb_poly_point(m_connection, XCB_COORD_MODE_ORIGIN, m_window, m_gc,
                       static_cast<std::uint32_t>(std::min(m_chunk, count - first)),
                       reinterpret_cast<const xcb_point_t*>(points + first));
    }
}

void X11Presenter::send(const Sent& sent) {
    setForeground(sent.colour);
    sendPoints(m_shown.points().data() + sent.first, sent.count);
    sendPoints(sent.repeats.data(), sent.repeats.size());
}

void X11Presenter::fillWhole() {
    setForeground(m_background);
    const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(m_shown.width()),
                              static_cast<std::uint16_t>(m_shown.height())};
    xcb_poly_fill_rectangle(m_connection, m_window, m_gc, 1, &all);
    m_old.clear();
    m_filled = true;
    m_filledWith = m_background;
}

void X11Presenter::clear() {
    settle();
    // This frame's pixels become the last frame's; a clear with no polyline since the last one
    // keeps those it has yet to take away.
    if (m_old.empty()) {
        m_shown.take(m_old);
    } else {
        m_shown.take(m_gone);
        m_old.insert(m_old.end(), m_gone.begin(), m_gone.end());
    }
    m_sent.clear();
    m_clearPending = true;
    // A new background, or a window that shows something else, is filled whole.
    if (!m_filled || m_filledWith != m_background) {
        fillWhole();
    }
}

void X11Presenter::polyline(const CurvePoint* points, int count, int penWidth,
                            std::uint32_t colour) {
    if (!m_filled || m_filledWith != m_background) {
        fillWhole();
    }
    Sent sent{colour, m_shown.points().size(), 0, {}};
    // A second polyline of the frame paints over the first where they cross, as on a buffer.
    m_shown.add(points, count, penWidth, m_sent.empty() ? nullptr : &sent.repeats);
    sent.count = m_shown.points().size() - sent.first;
    send(sent);
    m_sent.push_back(std::move(sent));
    // Only now, with every pixel of the new frame drawn, do the old ones that it leaves out go.
    if (m_clearPending) {
        // Those the new frame inks are dropped from the list in place.
        std::size_t kept = 0;
        for (const PixelPoint point : m_old) {
            if (!m_shown.contains(point)) {
                m_old[kept++] = point;
            }
        }
        setForeground(m_background);
        sendPoints(m_old.data(), kept);
        m_old.clear();
        m_clearPending = false;
    }
    fence();
}

void X11Presenter::expose(const DamageRect& area) {
    const DamageRect box{std::max(area.left, 0), std::max(area.top, 0),
                         std::min(area.right, m_shown.width()),
                         std::min(area.bottom, m_shown.height())};
    if (box.empty()) {
        return;
    }
    setForeground(m_background);
    const xcb_rectangle_t rect{
        static_cast<std::int16_t>(box.left), static_cast<std::int16_t>(box.top),
        static_cast<std::uint16_t>(box.width()), static_cast<std::uint16_t>(box.height())};
    xcb_poly_fill_rectangle(m_connection, m_window, m_gc, 1, &rect);
    for (const Sent& sent : m_sent) {
        send(sent);
    }
    // The last frame's pixels still waiting to go are gone from the exposed area already, and
    // clearing them again later changes nothing.
    xcb_flush(m_connection);
}

}  // namespace loopster
