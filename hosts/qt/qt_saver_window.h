// The saver window on Qt 6: a borderless, black, full-screen widget, hidden until the render loop
// shows it. On X11 the X server inks each frame's pixels on the window (X11Presenter); on Wayland
// each frame is drawn in one of the window's own shared-memory buffers and attached with its
// changed tiles marked (WaylandPresenter); elsewhere frames are drawn into a back buffer that Qt
// repaints the window from. Frames have the screen's own pixels, also on a scaled output. Each
// window is full screen on one monitor: the primary one unless it is placed on another.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <memory>

#include "core/raster/raster_gdi.h"
#include "seam/process.h"
#include "seam/saver_window.h"

class QScreen;
class QWidget;

namespace loopster {

class SaverWidget;

class QtSaverWindow final : public SaverWindow, public RasterSurface {
  public:
    // `process` ends the run when an event handler fails with a fatal error.
    explicit QtSaverWindow(Process& process);
    ~QtSaverWindow() override;
    QtSaverWindow(const QtSaverWindow&) = delete;
    QtSaverWindow& operator=(const QtSaverWindow&) = delete;

    void setEventHandler(SaverWindowEvents* handler) override;
    int scaleHeight() override;
    int scaleWidth() override;
    void setBackColor(std::int32_t colour) override;
    void show() override;
    Handle hDC() override;
    void cls() override;
    void close() override;

    // Draws on the back buffer; the window shows what the polyline inked, and what the clear
    // before it took away, at once or at the next pump.
    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) override;

    // The back buffer behind the device context, created with the window; for tests.
    QImage& backBuffer();

    // Covers `geometry` on `screen` (null: the screen the window is on), in the coordinates of the
    // desktop that screen belongs to; a window already shown moves at once.
    void place(QScreen* screen, const QRect& geometry);

    // The widget, created at the first use; for tests.
    QWidget* widget();

  private:
    SaverWidget& created();

    Process& m_process;
    SaverWindowEvents* m_handler = nullptr;
    std::unique_ptr<SaverWidget> m_widget;
    // Where place() asked for before the widget existed.
    QPointer<QScreen> m_screen;
    QRect m_geometry;
};

}  // namespace loopster
