// Frames on an X window with no back buffer: the X server inks the pen's exact pixels. A frame's
// polyline becomes the list of the pixels it inks (PixelList, the pixels a buffer would get), sent
// in the pen's colour as PolyPoint requests; then the last frame's pixels that this frame does not
// ink are sent in the background. The screen never shows the curve missing: every pixel of the new
// frame is drawn before any old one goes, and the one-bit plane that lists the new pixels once
// each also tells which old ones to clear. An exposure fills the exposed area with the background
// and sends the frame's pixels again. One round trip a frame keeps a slow server from falling
// frames behind. Used by the saver's windows on X11 (over Qt's connection) and by the hack (over
// its own).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/curve_point.h"
#include "core/raster/damage.h"
#include "core/raster/pen_raster.h"

struct xcb_connection_t;

namespace loopster {

// Why frames cannot be drawn on `window` by their pixel values (0xRRGGBB, the top byte opaque
// alpha at depth 32), in a sentence, or nothing when they can: the window must be a true-colour
// window of depth 24 or 32 with 8 bits a channel. A pixmap or a window that is gone is said so.
std::optional<std::string> x11PixelFormatProblem(xcb_connection_t* connection,
                                                 std::uint32_t window);

class X11Presenter {
  public:
    // A presenter for `window`, whose visible part is `width` x `height`, over `connection`,
    // which must outlive it. Null, with the reason in `problem` when given, when the window does
    // not take the frames' pixels (x11PixelFormatProblem).
    static std::unique_ptr<X11Presenter> create(xcb_connection_t* connection, std::uint32_t window,
                                                int width, int height,
                                                std::string* problem = nullptr);

    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // The window's visible part changed size: pixels outside it are forgotten, and the next
    // exposure repaints the rest.
    void resize(int width, int height);

    // The background that clears and exposures fill with, a 0xFFRRGGBB pixel.
    void setBackground(std::uint32_t colour) { m_background = colour; }

    // A new frame starts: what is shown now goes when the frame's first polyline has been drawn.
    // Waits, when needed, until the server has handled the last frame.
    void clear();

    // Draws a polyline with the pixels of drawPolyline and sends it at once; the first one after
    // clear() then takes away the last frame's pixels that it does not cover.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour);

    // The server lost `area` of the window: fills it with the background and sends the frame's
    // pixels again.
    void expose(const DamageRect& area);

    // The pixels of the frame shown, each once.
    std::size_t pixels() const { return m_shown.points().size(); }

  private:
    // What a polyline sent: its new pixels, a part of the frame's list, and the ones an earlier
    // polyline of the frame had listed already.
    struct Sent {
        std::uint32_t colour;
        std::size_t first;
        std::size_t count;
        std::vector<PixelPoint> repeats;
    };

    X11Presenter(xcb_connection_t* connection, std::uint32_t window, std::uint8_t depth);
    void settle();
    void setForeground(std::uint32_t colour);
    void sendPoints(const PixelPoint* points, std::size_t count);
    void send(const Sent& sent);
    void fence();
    // Fills the whole visible part with the background, which then holds nothing else.
    void fillWhole();

    xcb_connection_t* m_connection;
    std::uint32_t m_window;
    std::uint32_t m_gc = 0;
    // The pixel bits the window's depth holds.
    std::uint32_t m_pixelMask;
    std::uint32_t m_foreground = 0;
    std::uint32_t m_background = 0xFF000000u;
    // The most points one request takes.
    std::size_t m_chunk;
    // This frame's pixels, once each.
    PixelList m_shown;
    // What this frame sent, polyline by polyline, for exposures.
    std::vector<Sent> m_sent;
    // The last frame's pixels, until the first polyline of this frame takes them away.
    std::vector<PixelPoint> m_old;
    bool m_clearPending = false;
    // Whether the window holds only the background and the frames since, and which background.
    bool m_filled = false;
    std::uint32_t m_filledWith = 0;
    // Scratch lists, kept from frame to frame so that a frame allocates nothing.
    std::vector<PixelPoint> m_gone;
    // The sequence number of the request sent after the last frame, whose reply says the server
    // has handled it, while `m_fenced`.
    unsigned int m_fence = 0;
    bool m_fenced = false;
};

}  // namespace loopster
