// One saver window per monitor. The set follows the desktop: whenever the render loop asks (at
// the start of every pattern and every few frames in between) it reads the monitors again, makes a
// window for a monitor that came, lets the window of one that went go and moves a window whose
// monitor moved or changed its size. Every window sends its input to the same
// handler, so the exit rules count the pointer moves of all windows together.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/saver/saver_surfaces.h"
#include "seam/monitors.h"
#include "seam/saver_window.h"

namespace loopster {

// The set is also one SaverWindow for whatever knows only one window (the exit rules, which close
// it): that window's size and device context are the primary monitor's, and setting the
// background, showing and clearing apply to every window.
class MonitorWindows final : public SaverSurfaces, public SaverWindow {
  public:
    explicit MonitorWindows(Monitors& monitors) : m_monitors(monitors) {}

    bool layout() override;
    std::size_t count() const override { return m_windows.size(); }
    SaverWindow& surface(std::size_t index) override { return *m_windows.at(index); }

    // Also given to every window made later.
    void setEventHandler(SaverWindowEvents* handler) override;
    int scaleHeight() override { return primary().scaleHeight(); }
    int scaleWidth() override { return primary().scaleWidth(); }
    void setBackColor(std::int32_t colour) override;
    void show() override;
    Handle hDC() override { return primary().hDC(); }
    void cls() override;
    // Closing the primary window ends the process, and with it every window.
    void close() override { primary().close(); }

    // The monitors as the last layout read them, one for each window in the same order.
    const std::vector<MonitorRect>& monitors() const { return m_layout; }

  private:
    // The primary monitor's window; the first layout is read on the first use.
    SaverWindow& primary();

    Monitors& m_monitors;
    std::vector<std::unique_ptr<SaverWindow>> m_windows;
    std::vector<MonitorRect> m_layout;
    SaverWindowEvents* m_handler = nullptr;
};

}  // namespace loopster
