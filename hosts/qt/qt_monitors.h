// The monitors on Qt: one for every QScreen, which on X11 is a RandR monitor (or a whole X screen
// where the server has several), on Wayland an output. Each gets a full-screen saver window.
#pragma once

#include <memory>
#include <vector>

#include "core/raster/raster_gdi.h"
#include "core/saver/saver_surfaces.h"
#include "seam/monitors.h"
#include "seam/process.h"

namespace loopster {

class QtMonitors final : public Monitors {
  public:
    // `process` ends the run when an event handler of a window fails with a fatal error.
    explicit QtMonitors(Process& process) : m_process(process) {}

    std::vector<MonitorRect> monitors() override;
    std::unique_ptr<SaverWindow> createWindow(const MonitorRect& monitor) override;
    void place(SaverWindow& window, const MonitorRect& monitor) override;

  private:
    Process& m_process;
};

// The back buffers of a set of windows that QtMonitors made, found by their device contexts.
class QtMonitorSurfaces final : public RasterSurfaces {
  public:
    explicit QtMonitorSurfaces(SaverSurfaces& windows) : m_windows(windows) {}
    RasterSurface* surface(Handle dc) override;

  private:
    SaverSurfaces& m_windows;
};

}  // namespace loopster
