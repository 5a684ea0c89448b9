// The hack's own top-level window.
#include "hosts/xscreensaver/own_window.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace loopster {

namespace {

// Half the screen's width at 16:9, the size a tried hack usually gets; never larger than the
// screen.
constexpr int kWidthDivisor = 2;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t value = reply->atom;
    std::free(reply);
    return value;
}

void setText(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
             xcb_atom_t type, const char* text, std::size_t length) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<std::uint32_t>(length), text);
}

// Waits up to a second for the window to be shown, so that the first frame is not drawn before
// there is anything to see it on; a window manager that never maps it only costs that second.
void waitUntilMapped(xcb_connection_t* connection, xcb_window_t window) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const auto type = static_cast<std::uint8_t>(event->response_type & 0x7F);
            const bool mapped =
                type == XCB_MAP_NOTIFY &&
                reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == window;
            std::free(event);
            if (mapped) {
                return;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(connection) != 0) {
            return;
        }
        pollfd watched{xcb_get_file_descriptor(connection), POLLIN, 0};
        ::poll(&watched, 1, static_cast<int>(left.count()));
    }
}

}  // namespace

std::optional<OwnWindow> openOwnWindow(xcb_connection_t* connection, int screenNumber,
                                       std::string& problem) {
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem != 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        problem = "the display has no screen " + std::to_string(screenNumber);
        return std::nullopt;
    }
    const xcb_screen_t& screen = *screens.data;
    const auto width =
        static_cast<std::uint16_t>(std::max(1, screen.width_in_pixels / kWidthDivisor));
    const auto height = static_cast<std::uint16_t>(std::max(1, width * 9 / 16));

    OwnWindow own;
    own.window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen.black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, own.window, screen.root, 0, 0, width,
                      height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    static const char kName[] = "loopster";
    // Instance and class, each ended by a zero byte.
    static const char kClass[] = "loopster\0Loopster";
    setText(connection, own.window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, kName, sizeof kName - 1);
    setText(connection, own.window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kClass, sizeof kClass);
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    const xcb_atom_t netName = atom(connection, "_NET_WM_NAME");
    if (utf8 != XCB_ATOM_NONE && netName != XCB_ATOM_NONE) {
        setText(connection, own.window, netName, utf8, kName, sizeof kName - 1);
    }
    // Closing the window asks the hack to end, rather than the window manager cutting its
    // connection.
    const xcb_atom_t protocols = atom(connection, "WM_PROTOCOLS");
    own.deleteAtom = atom(connection, "WM_DELETE_WINDOW");
    if (protocols != XCB_ATOM_NONE && own.deleteAtom != XCB_ATOM_NONE) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, own.window, protocols, XCB_ATOM_ATOM,
                            32, 1, &own.deleteAtom);
    }
    xcb_map_window(connection, own.window);
    xcb_flush(connection);
    waitUntilMapped(connection, own.window);
    return own;
}

}  // namespace loopster
