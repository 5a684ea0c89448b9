// Monitors for tests: a list of rectangles a test can change between patterns, and fake saver
// windows sized to them, each with its own device context (7, the single fake window's, then 8,
// 9, ... in the order they are made).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "seam/fake/call_log.h"
#include "seam/fake/fake_saver_window.h"
#include "seam/monitors.h"

namespace loopster {

class FakeMonitors final : public Monitors {
  public:
    FakeMonitors(CallLog& log, std::vector<MonitorRect> monitors)
        : m_log(log), m_monitors(std::move(monitors)) {}

    void setMonitors(std::vector<MonitorRect> monitors) { m_monitors = std::move(monitors); }

    std::vector<MonitorRect> monitors() override {
        m_log.add("monitors");
        return m_monitors;
    }
    std::unique_ptr<SaverWindow> createWindow(const MonitorRect& monitor) override {
        m_log.add("createWindow " + describe(monitor));
        // An empty rectangle stands for the system's full-screen window, 1024 x 768 here.
        const bool empty = monitor.width <= 0 || monitor.height <= 0;
        return std::make_unique<FakeSaverWindow>(m_log, empty ? 1024 : monitor.width,
                                                 empty ? 768 : monitor.height, m_nextDc++);
    }
    void place(SaverWindow& window, const MonitorRect& monitor) override {
        m_log.add("place " + describe(monitor));
        static_cast<FakeSaverWindow&>(window).setSize(monitor.width, monitor.height);
    }

    static std::string describe(const MonitorRect& monitor) {
        return std::to_string(monitor.left) + "," + std::to_string(monitor.top) + " " +
               std::to_string(monitor.width) + "x" + std::to_string(monitor.height);
    }

  private:
    CallLog& m_log;
    std::vector<MonitorRect> m_monitors;
    Handle m_nextDc = FakeSaverWindow::kDc;
};

}  // namespace loopster
