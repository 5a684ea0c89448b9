// The saver windows that follow the desktop's monitors.
#include "core/saver/monitor_windows.h"

namespace loopster {

bool MonitorWindows::layout() {
    std::vector<MonitorRect> now = m_monitors.monitors();
    if (now == m_layout && !m_windows.empty()) {
        return false;
    }
    if (now.empty()) {
        // A desktop that reports no monitor for a moment (while one is switched over, say)
        // keeps the windows it has; before the first window, the system's full-screen window
        // stands in for the monitors it does not report.
        if (!m_windows.empty()) {
            return false;
        }
        now.push_back(MonitorRect{});
    }
    // Window i covers monitor i. The windows of monitors that went are the last ones; the
    // primary window is never let go, so the exit rules always have a window to close.
    if (m_windows.size() > now.size()) {
        m_windows.resize(now.size());
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i == m_windows.size()) {
            m_windows.push_back(m_monitors.createWindow(now[i]));
            m_windows.back()->setEventHandler(m_handler);
        } else if (!(m_layout[i] == now[i])) {
            m_monitors.place(*m_windows[i], now[i]);
        }
    }
    m_layout = std::move(now);
    return true;
}

SaverWindow& MonitorWindows::primary() {
    if (m_windows.empty()) {
        layout();
    }
    return *m_windows.front();
}

void MonitorWindows::setEventHandler(SaverWindowEvents* handler) {
    m_handler = handler;
    for (const auto& window : m_windows) {
        window->setEventHandler(handler);
    }
}

void MonitorWindows::setBackColor(std::int32_t colour) {
    primary();
    for (const auto& window : m_windows) {
        window->setBackColor(colour);
    }
}

void MonitorWindows::show() {
    primary();
    for (const auto& window : m_windows) {
        window->show();
    }
}

void MonitorWindows::cls() {
    primary();
    for (const auto& window : m_windows) {
        window->cls();
    }
}

}  // namespace loopster
