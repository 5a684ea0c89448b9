// QScreens as monitors, and a saver window on each.
#include "hosts/qt/qt_monitors.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "hosts/qt/qt_saver_window.h"

namespace loopster {

namespace {

Handle handleOf(const QScreen* screen) {
    return reinterpret_cast<Handle>(screen);
}

// The screen a monitor was reported for, if it is still there. Only compared, never followed: a
// screen that went is not found.
QScreen* screenOf(const MonitorRect& monitor) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (handleOf(screen) == monitor.screen) {
            return screen;
        }
    }
    return nullptr;
}

QRect geometryOf(const MonitorRect& monitor) {
    return {monitor.left, monitor.top, monitor.width, monitor.height};
}

}  // namespace

std::vector<MonitorRect> QtMonitors::monitors() {
    std::vector<MonitorRect> found;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto add = [&found](const QScreen* screen) {
        // Geometry in the coordinates of the screen's own desktop: with several X screens each
        // starts at 0, 0, which is why the screen goes with it.
        const QRect area = screen->geometry();
        if (!area.isEmpty()) {
            found.push_back(
                MonitorRect{area.x(), area.y(), area.width(), area.height(), handleOf(screen)});
        }
    };
    if (primary != nullptr) {
        add(primary);
    }
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) {
            add(screen);
        }
    }
    return found;
}

std::unique_ptr<SaverWindow> QtMonitors::createWindow(const MonitorRect& monitor) {
    auto window = std::make_unique<QtSaverWindow>(m_process);
    place(*window, monitor);
    return window;
}

// Every window here was made by createWindow.
void QtMonitors::place(SaverWindow& window, const MonitorRect& monitor) {
    static_cast<QtSaverWindow&>(window).place(screenOf(monitor), geometryOf(monitor));
}

RasterSurface* QtMonitorSurfaces::surface(Handle dc) {
    for (std::size_t i = 0; i < m_windows.count(); ++i) {
        auto& window = static_cast<QtSaverWindow&>(m_windows.surface(i));
        if (window.hDC() == dc) {
            return &window;
        }
    }
    return nullptr;
}

}  // namespace loopster
