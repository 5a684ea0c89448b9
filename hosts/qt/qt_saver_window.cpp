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
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>

#include <xcb/xcb.h>

#include "common/error_guard.h"
#include "core/raster/buffer_ink.h"
#include "core/raster/damage.h"
#include "hosts/posix/posix_environment.h"
#include "hosts/qt/first_frame.h"
#include "hosts/qt/qt_desktop.h"
#include "hosts/qt/timing_log.h"
#include "hosts/qt/wayland_presenter.h"
#include "hosts/x11/x11_presenter.h"

namespace loopster {

namespace {

// The rows of a 32-bit image, for drawing into it directly.
PixelRows rowsOf(QImage& image) {
    // One call for the pixels: every scanLine() checks whether the image must be detached.
    return PixelRows{reinterpret_cast<std::uint32_t*>(image.bits()),
                     static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t),
                     image.width(), image.height()};
}

// Whether frames go to the window as the pen's pixels (X11Presenter): on the xcb platform, unless
// LOOPSTER_QT_PAINT=1 keeps Qt's repaint path from a back buffer, to compare the two or to rule
// this one out.
bool pixelsByTheServer() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           !environmentFlag("LOOPSTER_QT_PAINT");
}

// Qt's own X connection, or null.
xcb_connection_t* qtConnection() {
#if QT_CONFIG(xcb)
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
#else
    // A Qt built without X11 has no connection to share.
    return nullptr;
#endif
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
        // Painted by the presenter, not through Qt's backing store: Qt sends the exposures as
        // paint events and keeps no copy of the window.
        m_direct = pixelsByTheServer();
        if (m_direct) {
            setAttribute(Qt::WA_PaintOnScreen);
        } else {
            resizeBuffer(size());
        }
    }

    ~SaverWidget() override {
        // Qt's connection is gone once the application is.
        if (qGuiApp == nullptr) {
            static_cast<void>(m_presenter.release());
            static_cast<void>(m_wayland.release());
        }
    }
    SaverWidget(const SaverWidget&) = delete;
    SaverWidget& operator=(const SaverWidget&) = delete;

    QImage& buffer() {
        // On Wayland the picture moves between the presenter's buffers, and the image follows it.
        if (m_wayland &&
            static_cast<const void*>(m_wayland->rows().pixels) != m_buffer.constBits()) {
            m_buffer = imageOf(m_wayland->rows());
        }
        return m_buffer;
    }

    // The window's size in the screen's own pixels, which the frames are drawn in: on a scaled
    // output the widget's size counts larger pixels.
    QSize deviceSize() const { return deviceSize(size()); }

    void setBackColour(std::uint32_t rgb) {
        m_backColour = rgb;
        if (m_presenter) {
            m_presenter->setBackground(rgb);
        }
    }

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
        // Sent to the window, the old pixels go only after the frame drawn next, so the screen
        // never shows the curve half gone.
        if (X11Presenter* presenter = direct()) {
            presenter->clear();
            return;
        }
        if (m_wayland) {
            m_wayland->clear(m_backColour);
            return;
        }
        m_ink.clear(m_backColour);
        repaintChanged();
    }

    void polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) {
        if (X11Presenter* presenter = direct()) {
            presenter->polyline(points, count, penWidth, colour);
            timingLog("drawn");
            // Until Qt has seen the window exposed nothing drawn shows; the exposure draws the
            // frame again, and that counts as the frame shown.
            const QWindow* window = windowHandle();
            if (window != nullptr && window->isExposed()) {
                frameShown();
            } else {
                m_frameWaiting = true;
            }
            return;
        }
        if (m_wayland) {
            m_wayland->polyline(points, count, penWidth, colour);
            timingLog("drawn");
            m_frameWaiting = true;
            // Nothing may reach the window before the compositor has configured it, which its
            // first exposure tells; that exposure shows the frame.
            if (m_wayland->present(m_exposed ? windowHandle() : nullptr, scale())) {
                waitingFrameShown();
            }
            return;
        }
        m_ink.polyline(points, count, penWidth, colour);
        timingLog("drawn");
        m_frameWaiting = true;
        repaintChanged();
    }

  protected:
    bool event(QEvent* event) override {
        // The native window exists once the widget is shown; its exposures are watched from then.
        if (event->type() == QEvent::Show && !m_watchingExposure && windowHandle() != nullptr) {
            windowHandle()->installEventFilter(this);
            m_watchingExposure = true;
        }
        // An output of another scale needs a buffer of another size.
        if (event->type() == QEvent::ScreenChangeInternal && !m_direct) {
            resizeBuffer(size());
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
        // On Wayland the saver's own buffers are the window's only ones: Qt neither paints nor
        // sends one of its backing store, and the compositor may take the saver's from this
        // exposure on.
        if (event->type() == QEvent::Expose && watched == windowHandle() && m_wayland) {
            m_exposed = windowHandle()->isExposed();
            if (m_exposed && m_wayland->presentAll(*windowHandle(), scale())) {
                waitingFrameShown();
            }
            return true;
        }
        // Qt answers an exposure by sending what its backing store holds, which the frames put
        // straight to the window have not been kept in; on Wayland, a window sent full screen to
        // another output is exposed with a fresh buffer of which Qt would paint only what changed,
        // and the rest shows through. Marking the whole widget dirty first makes Qt paint it from
        // the back buffer before sending.
        if (event->type() == QEvent::Expose && watched == windowHandle() && !m_direct) {
            update();
        }
        return QWidget::eventFilter(watched, event);
    }

    // Painted on screen by the presenter: Qt has nothing to paint with.
    QPaintEngine* paintEngine() const override {
        return m_direct ? nullptr : QWidget::paintEngine();
    }

    void paintEvent(QPaintEvent* event) override {
        if (m_direct) {
            // What the server lost of the window is filled with the background and the frame's
            // pixels are sent again.
            if (X11Presenter* presenter = direct()) {
                for (const QRect& area : event->region()) {
                    const QRect rect = devicePixels(area);
                    presenter->expose(
                        DamageRect{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1});
                }
                if (m_frameWaiting) {
                    m_frameWaiting = false;
                    frameShown();
                }
            }
            return;
        }
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
        // every rectangle of every frame cost more than the copying. The buffer has the screen's
        // pixels, `ratio` to each of the widget's.
        const qreal ratio = devicePixelRatioF();
        for (const QRect& area : event->region()) {
            const QRect rect = devicePixels(area).intersected(m_buffer.rect());
            if (rect.isEmpty()) {
                continue;
            }
            QImage part(m_buffer.constScanLine(rect.top()) +
                            static_cast<std::size_t>(rect.left()) * sizeof(std::uint32_t),
                        rect.width(), rect.height(), m_buffer.bytesPerLine(), m_buffer.format());
            part.setDevicePixelRatio(ratio);
            painter.drawImage(QPointF(rect.left() / ratio, rect.top() / ratio), part);
        }
        if (m_frameWaiting) {
            m_frameWaiting = false;
            frameShown();
        }
    }

    void resizeEvent(QResizeEvent* event) override {
        if (m_direct) {
            if (m_presenter) {
                const QSize pixels = deviceSize(event->size());
                m_presenter->resize(pixels.width(), pixels.height());
            }
        } else {
            resizeBuffer(event->size());
        }
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

    QSize deviceSize(const QSize& size) const {
        const qreal ratio = devicePixelRatioF();
        return QSize(qRound(size.width() * ratio), qRound(size.height() * ratio))
            .expandedTo(QSize(1, 1));
    }

    // The widget's pixels that the buffer's `rect` touches, or the buffer's pixels under the
    // widget's `rect`: each whole pixel that any part of it covers.
    QRect widgetPixels(const QRect& rect) const { return scaled(rect, 1.0 / devicePixelRatioF()); }
    QRect devicePixels(const QRect& rect) const { return scaled(rect, devicePixelRatioF()); }
    static QRect scaled(const QRect& rect, qreal factor) {
        if (factor == 1.0) {
            return rect;
        }
        const auto left = static_cast<int>(std::floor(rect.left() * factor));
        const auto top = static_cast<int>(std::floor(rect.top() * factor));
        return QRect(left, top, static_cast<int>(std::ceil((rect.right() + 1) * factor)) - left,
                     static_cast<int>(std::ceil((rect.bottom() + 1) * factor)) - top);
    }

    // The scale the Wayland compositor is told the buffer has: Qt 6.4 knows only whole ones.
    int scale() const { return std::max(1, qRound(devicePixelRatioF())); }

    void waitingFrameShown() {
        if (m_frameWaiting) {
            m_frameWaiting = false;
            frameShown();
        }
    }

    void resizeBuffer(const QSize& size) {
        const QSize bufferSize = deviceSize(size);
        if (m_buffer.size() == bufferSize) {
            return;
        }
        m_buffer = QImage();
        m_wayland.reset();
        m_wayland = WaylandPresenter::create(bufferSize, m_backColour);
        if (m_wayland) {
            m_buffer = imageOf(m_wayland->rows());
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
        // Not reached. GCC 12 does not take a virtual call as [[noreturn]] even though endProcess
        // is declared so, and would warn that this function returns.
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

    // The presenter that draws on the window, made for the native window as it is now (moving
    // to another X screen makes a new one); null off X11, and when the window does not take the
    // frames' pixels, which then go through Qt's repaint from a back buffer after all.
    X11Presenter* direct() {
        if (!m_direct) {
            return nullptr;
        }
        const auto window = static_cast<std::uint32_t>(winId());
        if (!m_presenter || window != m_presenterWindow) {
            m_presenter.reset();
            const QSize pixels = deviceSize();
            m_presenter =
                X11Presenter::create(qtConnection(), window, pixels.width(), pixels.height());
            m_presenterWindow = window;
            if (!m_presenter) {
                m_direct = false;
                setAttribute(Qt::WA_PaintOnScreen, false);
                resizeBuffer(size());
                update();
                return nullptr;
            }
            m_presenter->setBackground(m_backColour);
        }
        return m_presenter.get();
    }

    // Asks Qt to repaint what changed since the last request; it does so at the next pump.
    void repaintChanged() {
        const std::vector<DamageRect>& changed = m_ink.damage().takeChanged();
        if (changed.empty()) {
            return;
        }
        // The rectangles come in the banded order a region keeps, so it takes them as they are;
        // in the widget's larger pixels of a scaled screen they may overlap, so they are joined.
        m_rects.resize(changed.size());
        std::transform(changed.begin(), changed.end(), m_rects.begin(),
                       [this](const DamageRect& r) {
                           return widgetPixels(QRect(r.left, r.top, r.width(), r.height()));
                       });
        QRegion region;
        if (devicePixelRatioF() == 1.0) {
            region.setRects(m_rects.data(), static_cast<int>(m_rects.size()));
        } else {
            for (const QRect& rect : m_rects) {
                region += rect;
            }
        }
        update(region);
    }

    Process& m_process;
    SaverWindowEvents*& m_handler;
    // Whether frames go to the window through the presenter rather than Qt's repaint.
    bool m_direct = false;
    std::unique_ptr<X11Presenter> m_presenter;
    std::uint32_t m_presenterWindow = 0;
    // Off X11: on Wayland the window's own buffers, elsewhere the back buffer's pixels.
    std::unique_ptr<WaylandPresenter> m_wayland;
    PixelBuffer m_memory;
    QImage m_buffer;
    std::uint32_t m_backColour = 0xFF000000u;
    BufferInk m_ink;
    std::vector<QRect> m_rects;
    bool m_frameWaiting = false;
    bool m_watchingExposure = false;
    // Whether the window is exposed on Wayland, where nothing may be attached before.
    bool m_exposed = false;
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
    return created().deviceSize().height();
}

int QtSaverWindow::scaleWidth() {
    return created().deviceSize().width();
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
