// The saver window on Qt 6: a borderless, black, full-screen widget, hidden until the render loop
// shows it. Frames are drawn into a persistent back buffer, so clearing never flickers and an
// uncovered window repaints itself from it. On X11 with MIT-SHM the buffer lies in shared memory
// and each frame's changed tiles are put straight to the window (X11ShmPresenter); elsewhere the
// widget copies them to the screen when Qt repaints it.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/process.h"
#include "platform/saver_window.h"

class QWidget;

namespace loopster {

class SaverWidget;

class QtSaverWindow final : public SaverWindow {
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

    // The back buffer behind the device context, created with the window.
    QImage& backBuffer();
    // The drawing calls report the areas they changed, in pixels (a frame's polyline one for each
    // segment); the window repaints them at the next pump.
    void inked(const std::vector<QRect>& areas);

    // The widget, created at the first use; for tests.
    QWidget* widget();

  private:
    SaverWidget& created();

    Process& m_process;
    SaverWindowEvents* m_handler = nullptr;
    std::unique_ptr<SaverWidget> m_widget;
};

// The colour of the system's encoding (red + 256 * green + 65536 * blue) as Qt's 0xAARRGGBB; a
// part above 255 (only 16777216 has one) is held at 255, like the colour blocks of the gradient.
std::uint32_t toQRgb(std::int32_t colour);

}  // namespace loopster
