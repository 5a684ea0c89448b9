// The Qt saver window, drawing calls, event wait and process under the offscreen platform. The
// exit rules end the real process, so those cases run as death tests in a child process.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "core/raster/raster_gdi.h"
#include "core/saver/render_loop.h"
#include "core/saver/screeen.h"
#include "hosts/posix/posix_clock.h"
#include "hosts/posix/posix_process.h"
#include "hosts/qt/qt_event_loop.h"
#include "hosts/qt/qt_saver_window.h"

namespace loopster {
namespace {

// Exit code of a child that was still running when its script ended.
constexpr int kStillRunning = 7;

class SaverWindowEvents : public ::testing::Test {
  protected:
    SaverWindowEvents() : m_process(1, m_argv.data()), m_window(m_process) {}

    // A shown saver window whose events go through the exit rules to the real process.
    QWidget& shownWindow() {
        m_window.setEventHandler(&m_screeen);
        m_window.scaleHeight();
        m_window.show();
        QApplication::processEvents();
        return *m_window.widget();
    }

    static void move(QWidget& widget, int x, int y) {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y), widget.mapToGlobal(QPointF(x, y)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }

    std::vector<char*> m_argv{const_cast<char*>("loopster"), nullptr};
    PosixProcess m_process;
    QtSaverWindow m_window;
    Screeen m_screeen{m_window, m_process};
};

TEST_F(SaverWindowEvents, TwoPointerMovesLeaveTheSaverRunning) {
    EXPECT_EXIT(
        {
            QWidget& widget = shownWindow();
            move(widget, 10, 10);
            move(widget, 20, 20);
            std::_Exit(kStillRunning);
        },
        ::testing::ExitedWithCode(kStillRunning), "");
}

TEST_F(SaverWindowEvents, TheThirdPointerMoveEndsTheProcess) {
    EXPECT_EXIT(
        {
            QWidget& widget = shownWindow();
            move(widget, 10, 10);
            move(widget, 20, 20);
            move(widget, 30, 30);
            std::_Exit(kStillRunning);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SaverWindowEvents, ShiftAloneEndsTheProcess) {
    EXPECT_EXIT(
        {
            QWidget& widget = shownWindow();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
            QApplication::sendEvent(&widget, &press);
            std::_Exit(kStillRunning);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SaverWindowEvents, AMouseButtonPressEndsTheProcess) {
    EXPECT_EXIT(
        {
            QWidget& widget = shownWindow();
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5),
                              widget.mapToGlobal(QPointF(5, 5)), Qt::RightButton, Qt::RightButton,
                              Qt::NoModifier);
            QApplication::sendEvent(&widget, &press);
            std::_Exit(kStillRunning);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SaverWindowEvents, ACloseRequestEndsTheProcessSilently) {
    EXPECT_EXIT(
        {
            shownWindow().close();
            std::_Exit(kStillRunning);
        },
        ::testing::ExitedWithCode(0), "");
}

class Drawing : public ::testing::Test {
  protected:
    Drawing() : m_process(1, m_argv.data()), m_window(m_process), m_gdi(m_window) {
        m_window.widget()->setGeometry(0, 0, 200, 100);
        m_dc = m_window.hDC();
    }

    void polyline(int width, std::int32_t colour, std::vector<CurvePoint> points) {
        const Handle pen = m_gdi.CreatePen(PS_SOLID, width, colour);
        const Handle previous = m_gdi.SelectObject(m_dc, pen);
        m_window.cls();
        EXPECT_TRUE(m_gdi.Polyline(m_dc, points.data(), static_cast<int>(points.size())));
        m_gdi.SelectObject(m_dc, previous);
        EXPECT_TRUE(m_gdi.DeleteObject(pen));
    }

    QRgb pixel(int x, int y) { return m_window.backBuffer().pixel(x, y); }

    // The pixels of one column between two rows that are not black.
    int inkedRows(int x, int top, int bottom) {
        int rows = 0;
        for (int y = top; y <= bottom; ++y) {
            rows += pixel(x, y) != qRgb(0, 0, 0) ? 1 : 0;
        }
        return rows;
    }

    std::vector<char*> m_argv{const_cast<char*>("loopster"), nullptr};
    PosixProcess m_process;
    QtSaverWindow m_window;
    RasterGdi m_gdi;
    Handle m_dc = 0;
};

TEST_F(Drawing, PensDrawTheirColourAndWidthWithoutAntialiasing) {
    EXPECT_EQ(m_window.scaleWidth(), 200);
    EXPECT_EQ(m_window.scaleHeight(), 100);

    polyline(1, 255, {{10, 50}, {150, 50}});
    EXPECT_EQ(pixel(80, 50), qRgb(255, 0, 0));
    EXPECT_EQ(inkedRows(80, 40, 60), 1);

    // Red + 256 * green + 65536 * blue; the heavy pen covers two rows. The clear removed the
    // light line.
    polyline(2, 65536 * 200 + 256 * 100, {{10, 20}, {150, 20}});
    EXPECT_EQ(pixel(80, 50), qRgb(0, 0, 0));
    EXPECT_EQ(pixel(80, 20), qRgb(0, 100, 200));
    EXPECT_EQ(inkedRows(80, 10, 30), 2);

    // A diagonal: every pixel is either the pen's colour or the background.
    polyline(1, 16777215, {{0, 0}, {199, 70}, {5, 99}, {0, 0}});
    int inked = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            const QRgb value = pixel(x, y);
            EXPECT_TRUE(value == qRgb(255, 255, 255) || value == qRgb(0, 0, 0)) << x << ',' << y;
            inked += value == qRgb(0, 0, 0) ? 0 : 1;
        }
    }
    EXPECT_GT(inked, 250);

    // Points far outside the window are clipped, not refused.
    polyline(2, 65280, {{-100000, 30}, {100000, 30}});
    EXPECT_EQ(pixel(0, 30), qRgb(0, 255, 0));
    EXPECT_EQ(pixel(199, 30), qRgb(0, 255, 0));
    EXPECT_EQ(m_gdi.livePens(), 0u);
}

// Long slanting segments are reported as short pieces rather than as their bounding boxes; the
// pieces must still hold every pixel the pens drew, or the next clear would leave some behind.
TEST_F(Drawing, TheClearRemovesEveryPixelOfLongSlantingLines) {
    for (const int width : {1, 2, 5}) {
        polyline(width, 16777215,
                 {{0, 0}, {199, 99}, {3, 97}, {197, 1}, {100, 99}, {-500, -3}, {150, 2}});
        int inked = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 200; ++x) {
                inked += pixel(x, y) != qRgb(0, 0, 0) ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 600) << width;
        m_window.cls();
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 200; ++x) {
                EXPECT_EQ(pixel(x, y), qRgb(0, 0, 0)) << width << ": " << x << ',' << y;
            }
        }
    }
}

TEST(QtColour, TheSystemEncodingBecomesQtsAndAnOverflowingBlueIsHeldAt255) {
    EXPECT_EQ(toRgb32(0), qRgb(0, 0, 0));
    EXPECT_EQ(toRgb32(1 + 256 * 2 + 65536 * 3), qRgb(1, 2, 3));
    EXPECT_EQ(toRgb32(16777215), qRgb(255, 255, 255));
    EXPECT_EQ(toRgb32(16777216), qRgb(0, 0, 255));
}

TEST(QtWait, WaitUntilTickReturnsOnceTheTickReachesTheDeadlineAndHandlesPostedEvents) {
    PosixClock clock;
    QtEventLoop loop;
    bool handled = false;
    QMetaObject::invokeMethod(
        QApplication::instance(), [&handled] { handled = true; }, Qt::QueuedConnection);
    const std::uint32_t deadline = frameDeadline(clock.GetTickCount(), 50);
    WaitUntilTick(deadline, clock, loop);
    EXPECT_TRUE(handled);
    EXPECT_LE(ticksUntil(deadline, clock.GetTickCount()), 0);

    // A deadline in the past still pumps once.
    handled = false;
    QMetaObject::invokeMethod(
        QApplication::instance(), [&handled] { handled = true; }, Qt::QueuedConnection);
    WaitUntilTick(frameDeadline(clock.GetTickCount(), -1), clock, loop);
    EXPECT_TRUE(handled);
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // The children re-run this binary, so no thread of the application is forked half-way.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
