// The hack's surface over another program's window.
#include "hosts/xscreensaver/foreign_window.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace loopster {

ForeignWindow::ForeignWindow(xcb_connection_t* connection, std::uint32_t window, Process& process)
    : m_connection(connection), m_window(window), m_process(process) {}

ForeignWindow::~ForeignWindow() {
    release();
}

std::optional<std::string> ForeignWindow::attach() {
    if (auto problem = x11PixelFormatProblem(m_connection, m_window)) {
        return problem;
    }
    querySize();
    // To hear of the window's destruction and of what others uncover of it. The window may have
    // other listeners; this adds the hack's connection to them and takes nothing from them.
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE;
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
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", static_cast<unsigned>(m_window));
        end(1, std::string("loopster: the window ") + id + " is gone");
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
    if (m_presenter) {
        m_presenter->setBackground(m_backColour);
    }
}

void ForeignWindow::show() {}

// One surface: its device context is a constant handle.
Handle ForeignWindow::hDC() {
    presenter();
    return 1;
}

void ForeignWindow::close() {}

// No more of the window than its screen can show is drawn: a window far larger than the screen
// (the daemon may make one) would otherwise cost a plane of pixels nobody sees. The part drawn
// starts at the window's top-left corner, where a window on the screen shows; drawing past its
// edges is clipped.
PixelSize ForeignWindow::visibleSize() const {
    PixelSize size = m_size;
    if (!m_screen.empty()) {
        size.width = std::min(size.width, m_screen.width);
        size.height = std::min(size.height, m_screen.height);
    }
    return PixelSize{std::max(size.width, 1), std::max(size.height, 1)};
}

X11Presenter& ForeignWindow::presenter() {
    const PixelSize size = visibleSize();
    if (!m_presenter) {
        std::string problem;
        m_presenter =
            X11Presenter::create(m_connection, m_window, size.width, size.height, &problem);
        if (!m_presenter) {
            end(1, "loopster: " + problem);
        }
        m_presenter->setBackground(m_backColour);
    }
    m_presenter->resize(size.width, size.height);
    return *m_presenter;
}

void ForeignWindow::cls() {
    presenter().clear();
}

void ForeignWindow::polyline(const CurvePoint* points, int count, int penWidth,
                             std::uint32_t colour) {
    presenter().polyline(points, count, penWidth, colour);
}

void ForeignWindow::expose(const DamageRect& area) {
    if (m_presenter) {
        m_presenter->expose(area);
    }
}

void ForeignWindow::release() {
    m_presenter.reset();
}

void ForeignWindow::end(int exitCode, const std::string& line) {
    release();
    if (!line.empty()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    m_process.endProcess(exitCode);
    // Not reached. GCC 12 does not take a virtual call as [[noreturn]] even though endProcess is
    // declared so, and would warn that this function returns.
    std::abort();
}

}  // namespace loopster
