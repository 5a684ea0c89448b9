// The saver's back buffer in X shared memory, put straight to the window on the xcb platform.
// Qt's widget repaint costs a fixed share of every frame however little changed: its backing store
// waits for a round trip to the X server before painting over what it last sent, then the buffer
// is copied once more into the backing store. With the back buffer itself in a shared-memory
// segment the X server knows, each frame's changed rectangles go to the window as one put clipped
// to them, with nothing to wait for. Elsewhere (offscreen, Wayland, a server without MIT-SHM) the
// saver keeps Qt's repaint path. The xscreensaver hack uses it too, over its own connection, for a
// window that another program made.
#pragma once

#include <QSize>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/raster/damage.h"

class QWidget;
struct xcb_connection_t;
struct xcb_rectangle_t;

namespace loopster {

class X11ShmPresenter {
  public:
    // A presenter for `window` with a back buffer of `size`, or null when the application does
    // not run on xcb, the server lacks MIT-SHM or cannot reach the memory, or the screen's
    // pixels are not 32-bit 0x00RRGGBB words in the buffer's byte order.
    static std::unique_ptr<X11ShmPresenter> create(QWidget& window, const QSize& size);
    // The same for a window this program did not make, over the caller's connection, which must
    // outlive the presenter; null on the same grounds, Qt aside.
    static std::unique_ptr<X11ShmPresenter> create(xcb_connection_t* connection,
                                                   std::uint32_t window, const QSize& size);

    ~X11ShmPresenter();
    X11ShmPresenter(const X11ShmPresenter&) = delete;
    X11ShmPresenter& operator=(const X11ShmPresenter&) = delete;

    // The shared memory, `size` RGB32 pixels in rows of 4 * width bytes, for the caller to build
    // its back buffer on; it lives as long as the presenter.
    std::uint8_t* memory() const;

    // Waits, when needed, until the X server has read every rectangle put so far, so the buffer
    // may be written again. Nearly always the server finished long ago and this returns at once.
    void settle();

    // Puts `rects` of the buffer (banded, as DamageTracker hands them out) at the same place in
    // the window and sends them on their way; does nothing before the window exists, as its first
    // exposure repaints it whole. False when the window turns out not to take the buffer's pixels,
    // and the caller should repaint through Qt.
    bool put(const std::vector<DamageRect>& rects);

  private:
    struct Segment;

    X11ShmPresenter(QWidget* widget, std::uint32_t window, xcb_connection_t* connection,
                    std::unique_ptr<Segment> segment, const QSize& size);
    static std::unique_ptr<X11ShmPresenter> attach(QWidget* widget, std::uint32_t window,
                                                   xcb_connection_t* connection, const QSize& size);
    // Makes the shared memory and has the server attach it; false when either fails.
    static bool attachMemoryFile(Segment& segment, xcb_connection_t* connection, std::size_t bytes);
    static bool attachSysV(Segment& segment, xcb_connection_t* connection, std::size_t bytes);
    // Finds the window and checks its pixels at the first put; false when they do not fit.
    bool prepare();

    // The widget whose window frames go to, or null for another program's window `m_window`.
    QWidget* m_widget;
    std::uint32_t m_window;
    xcb_connection_t* m_connection;
    std::unique_ptr<Segment> m_segment;
    QSize m_size;
    std::uint32_t m_gc = 0;
    std::uint32_t m_drawable = 0;
    std::uint8_t m_depth = 0;
    bool m_usable = true;
    // Whether the graphics context clips to rectangles set by the last put.
    bool m_clipped = false;
    std::vector<xcb_rectangle_t> m_clip;
    // The sequence number of a request sent after the last put, whose reply says the server has
    // handled the put, while `m_fenced`.
    unsigned int m_fence = 0;
    bool m_fenced = false;
};

}  // namespace loopster
