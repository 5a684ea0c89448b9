// Display monitors and their saver windows.
#include "hosts/win32/win32_monitors.h"

#include "hosts/win32/win32_saver_window.h"
#include "hosts/win32/windows_api.h"

#include <cstddef>

namespace loopster {

namespace {

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC /*dc*/, LPRECT /*clip*/, LPARAM data) {
    auto& found = *reinterpret_cast<std::vector<MonitorRect>*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info) == FALSE) {
        return TRUE;
    }
    const RECT& area = info.rcMonitor;
    const MonitorRect rect{area.left, area.top, area.right - area.left, area.bottom - area.top,
                           reinterpret_cast<Handle>(monitor)};
    if (rect.width <= 0 || rect.height <= 0) {
        return TRUE;
    }
    if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0) {
        found.insert(found.begin(), rect);
    } else {
        found.push_back(rect);
    }
    return TRUE;
}

}  // namespace

std::vector<MonitorRect> Win32Monitors::monitors() {
    std::vector<MonitorRect> found;
    EnumDisplayMonitors(nullptr, nullptr, &addMonitor, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::unique_ptr<SaverWindow> Win32Monitors::createWindow(const MonitorRect& monitor) {
    auto window = std::make_unique<Win32SaverWindow>(m_process);
    place(*window, monitor);
    return window;
}

// Every window here was made by createWindow.
void Win32Monitors::place(SaverWindow& window, const MonitorRect& monitor) {
    static_cast<Win32SaverWindow&>(window).place(monitor.left, monitor.top, monitor.width,
                                                 monitor.height);
}

// Every window here was made by createWindow. Each ignores a polyline on another window's buffer,
// so asking each is enough, and creates no window that does not exist yet.
void Win32MonitorInk::inked(Handle dc, const CurvePoint* points, int count, int penWidth) {
    for (std::size_t i = 0; i < m_windows.count(); ++i) {
        static_cast<Win32SaverWindow&>(m_windows.surface(i)).inked(dc, points, count, penWidth);
    }
}

}  // namespace loopster
