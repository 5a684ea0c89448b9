// The desktop's monitors and the saver windows that cover them. The platform lists the monitors
// and makes and moves windows; which window covers which monitor, and when the list is read
// again, is decided once for every platform in display/monitor_windows.h.
#pragma once

#include <memory>
#include <vector>

#include "seam/gdi.h"
#include "seam/saver_window.h"

namespace loopster {

// One monitor's area in the desktop's pixels. Left and top are negative for a monitor left of or
// above the primary one. `screen` is the system's own handle of the monitor or of the separate
// desktop it belongs to (an X screen has its own coordinates, so two monitors on two X screens
// can have the same rectangle); only the platform that reported it looks at it.
struct MonitorRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    Handle screen = 0;

    bool operator==(const MonitorRect&) const = default;
};

class Monitors {
  public:
    virtual ~Monitors() = default;
    // Every monitor that is on now, the primary one first.
    virtual std::vector<MonitorRect> monitors() = 0;
    // A new saver window, hidden, that covers `monitor` once shown. An empty rectangle asks for
    // the window a single-screen saver would make: full screen on the primary monitor.
    virtual std::unique_ptr<SaverWindow> createWindow(const MonitorRect& monitor) = 0;
    // Moves and resizes a window that createWindow made so that it covers `monitor`.
    virtual void place(SaverWindow& window, const MonitorRect& monitor) = 0;
};

}  // namespace loopster
