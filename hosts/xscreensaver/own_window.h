// A window of the hack's own, for a hack started by hand with nothing to draw on (no --root, no
// --window-id, no $XSCREENSAVER_WINDOW), as xscreensaver's hacks do so that one can try them: a
// normal top-level window that the window manager decorates, and that ends the hack when it is
// closed. Drawing on it is the foreign window's business, like any other window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace loopster {

struct OwnWindow {
    std::uint32_t window = 0;
    // The WM_DELETE_WINDOW atom that a window manager sends when the window is closed.
    std::uint32_t deleteAtom = 0;
};

// Creates and maps the window on screen `screenNumber`, titled "loopster", and waits briefly for
// the window manager to show it. Nothing when the screen has no such visual; see `problem`.
std::optional<OwnWindow> openOwnWindow(xcb_connection_t* connection, int screenNumber,
                                       std::string& problem);

}  // namespace loopster
