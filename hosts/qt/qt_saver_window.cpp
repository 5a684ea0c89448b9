// The Qt saver window and its widget.
#include "hosts/qt/qt_saver_window.h"

#include <QAbstractNativeEventFilter>
#include <QBackingStore>
#include <QByteArray>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include <xcb/xcb.h>

#include "common/error_guard.h"
#include "core/raster/buffer_ink.h"
#include "core/raster/damage.h"
#include "hosts/qt/first_frame.h"
#include "hosts/qt/qt_desktop.h"
#include "hosts/qt/timing_log.h"
#include "hosts/x11/x11_shm_presenter.h"

namespace loopster {

namespace {

// The rows of a 32-bit image, for drawing into it directly.
PixelRows rowsOf(QImage& image) {
    // One call for the pixels: every scanLine() checks whether the image must be detached.
    return PixelRows{reinterpret_cast<std::uint32_t*>(image.bits()),
                     static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t),
                     image.width(), image.height()};
}

// An image over rows it does not own.
QImage imageOf(const PixelRows& rows) {
    return {reinterpret_cast<uchar*>(rows.pixels), rows.width, rows.height,
            static_cast<qsizetype>(rows.stride * sizeof(std::uint32_t)), QImage::Format_RGB32};
}

}  // namespace

// The widget turns Qt's events into the saver window's events. Every handler runs guarded, since
// no exception may unwind through Qt's event loop; ending the process there never returns.
class SaverWidget final : public QWidget, private QAbstractNativeEventFilter {
  public:
    SaverWidget(Process& process, SaverWindowEvents*& handler)
        : m_process(process), m_handler(handler) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        // Every pixel comes from the back buffer, so Qt need not clear or compose behind it.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        // Where the pointer cannot be parked out of sight, it is not drawn over the saver. A
        // clear image rather than Qt::BlankCursor: for that, Qt 6.4 on Wayland sends the
        // compositor nothing when the pointer enters, so the compositor's own pointer stays.
        if (!pointerCanBeParked()) {
            QPixmap clear(1, 1);
            clear.fill(Qt::transparent);
            setCursor(QCursor(clear));
        }
        // The hidden window already has the screen's size, so the first pattern is mapped to the
        // full screen rather than to a normal-sized window.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            setGeometry(screen->geometry());
        }
        resizeBuffer(size());
    }

    ~SaverWidget() override {
        // The buffer may lie in the presenter's memory.
        m_buffer = QImage();
        m_presenter.reset();
    }
    SaverWidget(const SaverWidget&) = delete;
    SaverWidget& operator=(const SaverWidget&) = delete;

    QImage& buffer() {
        settle();
        return m_buffer;
    }

    void setBackColour(std::uint32_t rgb) { m_backColour = rgb; }

    // Qt cannot paint a window on a display that is not true colour: it would warn at every
    // paint and show nothing, so the run ends before the window covers anything.
    void checkDisplay() {
        if (screen() != nullptr && screen()->depth() < kLeastDepth) {
            fail(noPaintMessage());
        }
    }

    // Moves the window to another screen (which may be another X screen, with a root window of
    // its own) and over the given area of it. The back buffer follows at the resize.
    void cover(QScreen* target, const QRect& geometry) {
        if (target != nullptr && target != screen()) {
            setScreen(target);
        }
        setGeometry(geometry);
    }

    // Clears what the last frames drew. While the buffer holds nothing else, drawing their
    // polylines again in the background takes away every pixel they inked and touches no other,
    // with neither a painter nor the tiles' larger area; their tiles still go to the screen.
    void clearBuffer() {
        settle();
        m_ink.clear(m_backColour);
        // Put straight to the window, the cleared tiles wait for the frame drawn next, so the
        // screen never shows the curve half gone.
        if (!direct()) {
            repaintChanged();
        }
    }

    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) {
        settle();
        m_ink.polyline(points, count, penWidth, colour);
        timingLog("drawn");
        m_frameWaiting = true;
        if (direct()) {
            putChanged();
        } else {
            repaintChanged();
        }
    }

  protected:
    bool event(QEvent* event) override {
        // The native window exists once the widget is shown; its exposures are watched from then.
        if (event->type() == QEvent::Show && !m_watchingExposure && windowHandle() != nullptr) {
            windowHandle()->installEventFilter(this);
            m_watchingExposure = true;
        }
        return QWidget::event(event);
    }

    // A window destroyed by another X client (xdotool windowclose, xkill -id) gets no close
    // request: Qt only sees its DestroyNotify, and would go on drawing into nothing with the
    // instance lock held. That is the window closed by another cause, so it ends the run too.
    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "xcb_generic_event_t" || internalWinId() == 0) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        // The top bit marks an event sent by a client rather than by the server.
        if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (destroyed->window == static_cast<xcb_window_t>(internalWinId())) {
                dispatch([](SaverWindowEvents& handler) { handler.onClose(); });
            }
        }
        return false;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Qt answers an exposure by sending what its backing store holds, which the frames put
        // straight to the window have not been kept in; on Wayland, a window sent full screen to
        // another output is exposed with a fresh buffer of which Qt would paint only what changed,
        // and the rest shows through. Marking the whole widget dirty first makes Qt paint it from
        // the back buffer before sending.
        if (event->type() == QEvent::Expose && watched == windowHandle()) {
            update();
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent* event) override {
        // Qt paints the window through a copy of its own, which it cannot make on a display that
        // is not true colour, or without the memory for it. Every paint would then warn, many
        // times a second, and the window would show nothing: one line, and the run ends.
        QBackingStore* store = backingStore();
        QPaintDevice* device = store != nullptr ? store->paintDevice() : nullptr;
        if (device == nullptr || device->paintEngine() == nullptr) {
            fail(noPaintMessage());
        }
        QPainter painter(this);
        // Each rectangle is drawn from a view of the buffer's own rows rather than as a part of
        // the whole buffer: Qt hands the latter to its thread pool, and waking the threads for
        // every rectangle of every frame cost more than the copying.
        for (const QRect& area : event->region()) {
            const QRect rect = area.intersected(m_buffer.rect());
            if (rect.isEmpty()) {
                continue;
            }
            const QImage part(m_buffer.constScanLine(rect.top()) +
                                  static_cast<std::size_t>(rect.left()) * sizeof(std::uint32_t),
                              rect.width(), rect.height(), m_buffer.bytesPerLine(),
                              m_buffer.format());
            painter.drawImage(rect.topLeft(), part);
        }
        if (m_frameWaiting) {
            m_frameWaiting = false;
            frameShown();
        }
    }

    void resizeEvent(QResizeEvent* event) override {
        resizeBuffer(event->size());
        QWidget::resizeEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        dispatch([event](SaverWindowEvents& handler) { handler.onKeyDown(event->key()); });
    }
    void mousePressEvent(QMouseEvent* event) override {
        dispatch([event](SaverWindowEvents& handler) {
            handler.onMouseDown(static_cast<int>(event->button()));
        });
    }
    void mouseReleaseEvent(QMouseEvent* /*event*/) override {
        dispatch([](SaverWindowEvents& handler) { handler.onClick(); });
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPointF position = event->position();
        dispatch([position](SaverWindowEvents& handler) {
            handler.onMouseMove(static_cast<float>(position.x()), static_cast<float>(position.y()));
        });
    }
    void closeEvent(QCloseEvent* event) override {
        dispatch([](SaverWindowEvents& handler) { handler.onClose(); });
        event->accept();
    }

  private:
    // The fewest bits a pixel of a true-colour display Qt paints on has.
    static constexpr int kLeastDepth = 15;

    template <typename Action>
    void dispatch(Action action) {
        if (m_handler != nullptr) {
            SaverWindowEvents& handler = *m_handler;
            runGuarded(m_process, [&handler, &action] { action(handler); });
        }
    }

    void resizeBuffer(const QSize& size) {
        if (m_buffer.size() == size) {
            return;
        }
        const QSize bufferSize = size.expandedTo(QSize(1, 1));
        m_buffer = QImage();
        m_memory.allocate(0, 0);
        m_presenter.reset();
        m_presenter = X11ShmPresenter::create(*this, bufferSize);
        if (m_presenter) {
            // Rows of whole 32-bit pixels, as the presenter lays them out; the image does not own
            // the memory and must not outlive the presenter.
            m_buffer = QImage(m_presenter->memory(), bufferSize.width(), bufferSize.height(),
                              bufferSize.width() * static_cast<int>(sizeof(std::uint32_t)),
                              QImage::Format_RGB32);
        } else if (m_memory.allocate(bufferSize.width(), bufferSize.height())) {
            m_buffer = imageOf(m_memory.rows());
        }
        if (m_buffer.isNull()) {
            // Every drawing call on a buffer that is not there would warn, many times a second,
            // while the screen stayed black. One line says why, and the run ends, leaving the
            // desktop to whatever locks or blanks it.
            fail(noBufferMessage(bufferSize.width(), bufferSize.height()));
        }
        m_ink.reset(rowsOf(m_buffer), m_backColour);
    }

    [[noreturn]] void fail(const std::string& line) {
        m_process.showFatalError(line);
        m_process.endProcess(1);
        // Not reached: the compiler does not carry the promise of a virtual call over.
        std::abort();
    }

    std::string noPaintMessage() const {
        const int depth = screen() != nullptr ? screen()->depth() : 0;
        const std::string size =
            std::to_string(width()) + " x " + std::to_string(height()) + " pixels";
        if (depth < kLeastDepth) {
            return "loopster: cannot paint the window (" + size + "): the display has " +
                   std::to_string(depth) + "-bit colour, and only true colour is drawn";
        }
        return "loopster: cannot paint the window (" + size + "): no memory for Qt's copy of it";
    }

    // Whether frames go straight to the window rather than through Qt's repaint.
    bool direct() const { return m_presenter != nullptr; }

    // Before the buffer is written, the server must have read what was last put from it.
    void settle() {
        if (m_presenter) {
            m_presenter->settle();
        }
    }

    // Puts what changed since the last put straight to the window. Should the window not take
    // the buffer's pixels after all, the presenter goes and Qt repaints from then on; the buffer
    // is copied out of the presenter's memory first.
    void putChanged() {
        const std::vector<DamageRect>& changed = m_ink.damage().takeChanged();
        // Until Qt has seen the window exposed nothing put would show; the exposure repaints it
        // whole, and that paint counts as the frame shown.
        const QWindow* window = windowHandle();
        if (window == nullptr || !window->isExposed()) {
            return;
        }
        if (m_presenter->put(changed)) {
            if (m_frameWaiting) {
                m_frameWaiting = false;
                frameShown();
            }
            return;
        }
        QImage copy = m_buffer.copy();
        m_buffer = QImage();
        m_presenter.reset();
        m_buffer = std::move(copy);
        m_ink.moveTo(rowsOf(m_buffer));
        update();
    }

    // Asks Qt to repaint what changed since the last request; it does so at the next pump.
    void repaintChanged() {
        const std::vector<DamageRect>& changed = m_ink.damage().takeChanged();
        if (changed.empty()) {
            return;
        }
        // The rectangles come in the banded order a region keeps, so it takes them as they are.
        m_rects.resize(changed.size());
        std::transform(changed.begin(), changed.end(), m_rects.begin(), [](const DamageRect& r) {
            return QRect(r.left, r.top, r.width(), r.height());
        });
        QRegion region;
        region.setRects(m_rects.data(), static_cast<int>(m_rects.size()));
        update(region);
    }

    Process& m_process;
    SaverWindowEvents*& m_handler;
    // Declared before the buffer, which may lie in its memory, so it goes after it.
    std::unique_ptr<X11ShmPresenter> m_presenter;
    // The buffer's pixels when they do not lie in the presenter's memory.
    PixelBuffer m_memory;
    QImage m_buffer;
    std::uint32_t m_backColour = 0xFF000000u;
    BufferInk m_ink;
    std::vector<QRect> m_rects;
    bool m_frameWaiting = false;
    bool m_watchingExposure = false;
};

QtSaverWindow::QtSaverWindow(Process& process) : m_process(process) {}

QtSaverWindow::~QtSaverWindow() = default;

SaverWidget& QtSaverWindow::created() {
    if (!m_widget) {
        m_widget = std::make_unique<SaverWidget>(m_process, m_handler);
        if (!m_geometry.isEmpty()) {
            m_widget->cover(m_screen, m_geometry);
        }
    }
    return *m_widget;
}

void QtSaverWindow::place(QScreen* screen, const QRect& geometry) {
    m_screen = screen;
    m_geometry = geometry;
    if (m_widget && !geometry.isEmpty()) {
        m_widget->cover(screen, geometry);
    }
}

void QtSaverWindow::setEventHandler(SaverWindowEvents* handler) {
    m_handler = handler;
}

int QtSaverWindow::scaleHeight() {
    return created().height();
}

int QtSaverWindow::scaleWidth() {
    return created().width();
}

void QtSaverWindow::setBackColor(std::int32_t colour) {
    created().setBackColour(toRgb32(colour));
}

void QtSaverWindow::show() {
    SaverWidget& widget = created();
    if (widget.isVisible()) {
        return;
    }
    widget.checkDisplay();
    widget.showFullScreen();
    widget.raise();
    widget.activateWindow();
    widget.setFocus();
}

// Each window has a back buffer of its own, so each needs a device context of its own: the
// window's address serves, as it differs for every window alive.
Handle QtSaverWindow::hDC() {
    created();
    return reinterpret_cast<Handle>(this);
}

void QtSaverWindow::cls() {
    created().clearBuffer();
}

void QtSaverWindow::close() {
    created().close();
}

QImage& QtSaverWindow::backBuffer() {
    return created().buffer();
}

void QtSaverWindow::polyline(const CurvePoint* points, int count, int penWidth,
                             std::uint32_t colour) {
    created().polyline(points, count, penWidth, colour);
}

QWidget* QtSaverWindow::widget() {
    return &created();
}

}  // namespace loopster
