// The xscreensaver hack's drawing surface: a window that another program made (the daemon's, the
// preview pane of xscreensaver-settings) or the root window, reached over the hack's own X
// connection. The hack never maps, raises, resizes or grabs it and takes no input from it; it only
// follows its size, read at the start of every pattern, and puts each frame's changed tiles to it
// from a back buffer no larger than the screen, through shared memory when the server offers it
// and with plain image puts otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/raster/buffer_ink.h"
#include "core/raster/damage.h"
#include "core/raster/raster_gdi.h"
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

    // Reads the window's size and checks that it takes the back buffer's pixels (32-bit words
    // in this machine's byte order, depth 24 or 32) and watches for its destruction. Nothing
    // when all is well, else why not, in a sentence.
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

    // Draws on the buffer and puts what the polyline inked, and what the clear before it took
    // away, to the window at once.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) override;

    // Lets go of what the server holds for the window, so that nothing outlives the process.
    void release();

    // Releases everything, writes `line` (when not empty) to stderr and ends the process.
    [[noreturn]] void end(int exitCode, const std::string& line);

  private:
    // Asks the server for the size; a window gone ends the run.
    PixelSize querySize();
    // The window's size as last read, bounded by its screen's.
    PixelSize bufferSize() const;
    // Matches the buffer to the size last read.
    void buffer();
    void resizeBuffer(const PixelSize& bufferSize);
    void putChanged();
    // Ordinary image requests, for servers without shared memory (a remote display).
    void putPlain(const std::vector<DamageRect>& rects);

    xcb_connection_t* m_connection;
    std::uint32_t m_window;
    Process& m_process;
    std::uint8_t m_depth = 0;
    PixelSize m_size;
    // The size of the window's screen, empty until read.
    PixelSize m_screen;
    PixelBuffer m_buffer;
    std::uint32_t m_backColour = 0xFF000000u;
    BufferInk m_ink;
    std::uint32_t m_gc = 0;
    std::vector<std::uint8_t> m_rows;
};

}  // namespace loopster
