// The monitors on Windows, from EnumDisplayMonitors, and a saver window on each. One window per
// monitor rather than one over the virtual screen: each monitor then has a window and a back
// buffer of exactly its own size (the virtual screen's bounding box also holds the gaps between
// monitors of different sizes), the curve is centred on each monitor as on a single one, and
// under the per-monitor DPI awareness that the manifest declares every window lies on one
// monitor only, so it is never scaled for another monitor's DPI.
#pragma once

#include <memory>
#include <vector>

#include "core/saver/saver_surfaces.h"
#include "hosts/win32/win32_gdi.h"
#include "seam/monitors.h"
#include "seam/process.h"

namespace loopster {

class Win32Monitors final : public Monitors {
  public:
    explicit Win32Monitors(Process& process) : m_process(process) {}

    // In physical pixels of the virtual screen: the primary monitor's top-left corner is 0, 0, and
    // monitors left of or above it have negative coordinates.
    std::vector<MonitorRect> monitors() override;
    std::unique_ptr<SaverWindow> createWindow(const MonitorRect& monitor) override;
    void place(SaverWindow& window, const MonitorRect& monitor) override;

  private:
    Process& m_process;
};

// Tells the window whose back buffer a polyline was drawn on, among a set of windows that
// Win32Monitors made, so that each window clears and shows only its own curve.
class Win32MonitorInk final : public InkObserver {
  public:
    explicit Win32MonitorInk(SaverSurfaces& windows) : m_windows(windows) {}
    void inked(Handle dc, const CurvePoint* points, int count, int penWidth) override;

  private:
    SaverSurfaces& m_windows;
};

}  // namespace loopster
