// The xscreensaver hack's drawing surface: a window that another program made (the daemon's, the
// preview pane of xscreensaver-settings) or the root window, reached over the hack's own X
// connection. The hack never maps, raises, resizes or grabs it and takes no input from it; it only
// follows its size, read at the start of every pattern, and draws each frame on it as the pen's
// pixels (X11Presenter), keeping no picture of its own: exposures repaint from the frame's list of
// pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/raster/damage.h"
#include "core/raster/raster_gdi.h"
#include "hosts/x11/x11_presenter.h"
#include "seam/process.h"
#include "seam/saver_window.h"

struct xcb_connection_t;

namespace loopster {

// A size in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

class ForeignWindow final : public SaverWindow, public RasterSurface {
  public:
    // `connection` must outlive the surface; `process` ends the run when the window goes away.
    ForeignWindow(xcb_connection_t* connection, std::uint32_t window, Process& process);
    ~ForeignWindow() override;
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    // Reads the window's size, checks that it takes the frames' pixels (24- or 32-bit true
    // colour) and watches for its destruction and exposures. Nothing when all is well, else why
    // not, in a sentence.
    std::optional<std::string> attach();

    std::uint32_t window() const { return m_window; }

    // There is no input to deliver: the daemon holds the keyboard and the pointer.
    void setEventHandler(SaverWindowEvents* handler) override;
    // Each asks the server for the window's size, which the next device context takes.
    int scaleHeight() override;
    int scaleWidth() override;
    void setBackColor(std::int32_t colour) override;
    // The window is the daemon's to show.
    void show() override;
    Handle hDC() override;
    void cls() override;
    void close() override;

    // Draws the polyline on the window at once; the last frame's pixels that it leaves out go
    // right after it.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) override;

    // The server lost `area` of the window (another window covered it): it is drawn again.
    void expose(const DamageRect& area);

    // Lets go of what the server holds for the window, so that nothing outlives the process.
    void release();

    // Releases everything, writes `line` (when not empty) to stderr and ends the process.
    [[noreturn]] void end(int exitCode, const std::string& line);

  private:
    // Asks the server for the size; a window gone ends the run.
    PixelSize querySize();
    // The window's size as last read, bounded by its screen's.
    PixelSize visibleSize() const;
    // The presenter, at the size last read.
    X11Presenter& presenter();

    xcb_connection_t* m_connection;
    std::uint32_t m_window;
    Process& m_process;
    PixelSize m_size;
    // The size of the window's screen, empty until read.
    PixelSize m_screen;
    std::uint32_t m_backColour = 0xFF000000u;
    std::unique_ptr<X11Presenter> m_presenter;
};

}  // namespace loopster
