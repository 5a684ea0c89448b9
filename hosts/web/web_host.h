// The seam in a browser page: the clock from performance.now(), the canvas as the saver window
// (an RGBA buffer in the module's memory that the core's pen rasteriser draws into and the page
// shows a changed rectangle of), the settings text in localStorage, the settings panel, and the
// process, which in a page is the saver or the panel and never the page itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/raster/buffer_ink.h"
#include "core/raster/raster_gdi.h"
#include "core/saver/saver_surfaces.h"
#include "seam/clock.h"
#include "seam/config_view.h"
#include "seam/desktop.h"
#include "seam/files.h"
#include "seam/gdi.h"
#include "seam/process.h"
#include "seam/saver_window.h"

namespace loopster {

// The page's clock: performance.now() in whole milliseconds, wrapped to 32 bits. While a frame is
// drawn it reads the tick at which the frame starts, which the page's frame step sets.
class WebClock final : public Clock {
  public:
    std::uint32_t GetTickCount() override;
    float secondsSinceMidnight() override;
    // The tick of the frame being drawn; nothing between frames.
    void setFrameTick(std::optional<std::uint32_t> tick) { m_frameTick = tick; }

  private:
    std::optional<std::uint32_t> m_frameTick;
};

// The tick of a time in performance.now() milliseconds.
std::uint32_t tickOf(double ms);

// The page never waits: the browser calls the frame step when it is time to draw.
class WebEventLoop final : public EventLoop {
  public:
    void pumpEvents() override {}
    void waitForEvents(std::int32_t /*timeoutMs*/) override {}
};

// The canvas in device pixels, and its back buffer: 32-bit pixels whose bytes in memory are red,
// green, blue and alpha, the order of the canvas's ImageData. The core's buffer drawing (BufferInk)
// inks and clears it; the drawing calls (RasterGdi) hand it each polyline.
class WebCanvas final : public SaverWindow, public RasterSurface {
  public:
    void setEventHandler(SaverWindowEvents* handler) override { m_handler = handler; }
    SaverWindowEvents* handler() const { return m_handler; }
    int scaleHeight() override { return m_ink.rows().height; }
    int scaleWidth() override { return m_ink.rows().width; }
    void setBackColor(std::int32_t colour) override;
    void show() override {}
    Handle hDC() override { return kDeviceContext; }
    void cls() override;
    // Closing the saver window ends the saver, by its own close event.
    void close() override;

    // A new size, in device pixels: the buffer starts black and all of it is to be shown. False
    // when there is no memory for it.
    bool resize(int width, int height);
    // Draws a polyline (its colour a 0xFFRRGGBB pixel, as the drawing calls give it) into the
    // buffer and notes what it inked.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) override;
    // Hands the rectangle around everything changed since the last call to the page, which
    // copies it from the buffer onto the canvas; nothing when nothing changed.
    void present();

    static constexpr Handle kDeviceContext = 0x10;

  private:
    SaverWindowEvents* m_handler = nullptr;
    PixelBuffer m_memory;
    BufferInk m_ink;
    // The background as a pixel of the buffer.
    std::uint32_t m_background = 0xFF000000u;
};

// The one canvas as the set of saver windows: a canvas that changed its size counts as a
// monitor that changed, so the render loop maps the curve to the new size within a moment
// instead of at the next pattern.
class WebSurfaces final : public SaverSurfaces {
  public:
    explicit WebSurfaces(WebCanvas& canvas) : m_canvas(canvas) {}
    bool layout() override;
    std::size_t count() const override { return 1; }
    SaverWindow& surface(std::size_t /*index*/) override { return m_canvas; }

  private:
    WebCanvas& m_canvas;
    int m_width = -1;
    int m_height = -1;
};

// Files as the page keeps them: one localStorage item per path, holding the file's text.
class LocalStorageFiles final : public Files {
  public:
    std::string lookup(const std::string& path) override;
    FileRead readPrefix(const std::string& path, std::size_t maxBytes) override;
    std::optional<FileFailure> replaceFile(const std::string& path,
                                           const std::string& content) override;
    std::optional<FileFailure> createFile(const std::string& path,
                                          const std::string& content) override;
};

// Where the page keeps its settings: one item, and no marker.
FileLocations webFileLocations();

// Ending the process, in a page, ends what runs inside it (the full-screen saver or the settings
// panel): it unwinds to the call from the page with ProcessEnded, which the page's entry points
// catch, and the page goes on.
class WebProcess final : public Process {
  public:
    bool previousInstance() override { return false; }
    std::string commandLine() override { return "/s"; }
    void showFatalError(const std::string& message) override;
    [[noreturn]] void endProcess(int exitCode) override;
};

class WebDesktop final : public Desktop {
  public:
    double screenWidthTwips() override;
    double screenHeightTwips() override;
    // A page cannot move the pointer; the full-screen saver hides it instead.
    void SetCursorPos(int /*x*/, int /*y*/) override {}
    void beep() override {}
};

// The settings panel, built by the page from the dialog's table of controls.
class WebConfigView final : public ConfigView {
  public:
    void setEventHandler(ConfigEvents* handler) override { m_handler = handler; }
    ConfigEvents* handler() const { return m_handler; }
    void create() override;
    void showText1(const std::string& text) override;
    void showScrollValue(int value) override;
    void showOption1(bool light) override;
    void show() override;
    void unload() override;
    void showError(const std::string& message) override;

  private:
    ConfigEvents* m_handler = nullptr;
};

// The dialog's table as JSON for the page: the caption, the client area and every control with
// its name, kind, caption, tab index and place in twips, the scroll bar's range and the notice.
std::string dialogTableJson();

}  // namespace loopster
