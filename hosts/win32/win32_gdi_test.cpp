// The drawing path on real GDI (Wine's): pens of the core's colour encoding and width, polylines
// read in place from the core's points, and the saver window's back buffer with its clearing.
#include "hosts/win32/win32_gdi.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "hosts/win32/win32_saver_window.h"
#include "hosts/win32/windows_api.h"

namespace loopster {
namespace {

class QuietProcess final : public Process {
  public:
    bool previousInstance() override { return false; }
    std::string commandLine() override { return {}; }
    [[noreturn]] void endProcess(int) override { std::abort(); }
    void showFatalError(const std::string&) override {}
};

class Bitmap {
  public:
    Bitmap(int width, int height) {
        const HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        m_initial = SelectObject(m_dc, m_bitmap);
        const RECT all{0, 0, width, height};
        FillRect(m_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    ~Bitmap() {
        SelectObject(m_dc, m_initial);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    Handle dc() const { return reinterpret_cast<Handle>(m_dc); }
    COLORREF at(int x, int y) const { return GetPixel(m_dc, x, y); }

  private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_initial = nullptr;
};

TEST(Win32Gdi, PolylineDrawsInThePensColourAndWidth) {
    Bitmap bitmap(40, 40);
    Win32Gdi gdi;
    // Red 255, green 128, blue 0 in the core's encoding.
    const Handle pen = gdi.CreatePen(0, 2, 255 + 256 * 128);
    ASSERT_NE(pen, Handle{0});
    const Handle previous = gdi.SelectObject(bitmap.dc(), pen);
    EXPECT_NE(previous, Handle{0});
    const std::array<CurvePoint, 3> points{{{5, 10}, {30, 10}, {30, 35}}};
    EXPECT_TRUE(gdi.Polyline(bitmap.dc(), points.data(), 3));
    gdi.SelectObject(bitmap.dc(), previous);
    EXPECT_TRUE(gdi.DeleteObject(pen));

    EXPECT_EQ(bitmap.at(15, 10), RGB(255, 128, 0));
    EXPECT_EQ(bitmap.at(30, 20), RGB(255, 128, 0));
    // Two pixels wide: one row besides the centre line is drawn too, and nothing further out.
    const bool wide = bitmap.at(15, 9) == RGB(255, 128, 0) || bitmap.at(15, 11) == RGB(255, 128, 0);
    EXPECT_TRUE(wide);
    EXPECT_EQ(bitmap.at(15, 13), RGB(0, 0, 0));
    EXPECT_EQ(bitmap.at(15, 7), RGB(0, 0, 0));
    // The curve's points are joined in order, not closed: the diagonal stays empty.
    EXPECT_EQ(bitmap.at(17, 22), RGB(0, 0, 0));
}

// A wide pen's polyline goes to gdi32 in short runs; the pixels must be those of one call.
TEST(Win32Gdi, AWidePolylineDrawsTheSamePixelsAsOneSystemCall) {
    std::vector<CurvePoint> curve;
    for (int j = 0; j <= 97; ++j) {
        const double angle = j * 0.0648;
        const double radius = 60 + 30 * std::cos(7 * angle);
        curve.push_back({static_cast<std::int32_t>(100 + radius * std::cos(angle)),
                         static_cast<std::int32_t>(100 + radius * std::sin(angle))});
    }
    for (const int width : {1, 2, 3}) {
        Bitmap ours(200, 200);
        Bitmap system(200, 200);
        Win32Gdi gdi;
        const Handle pen = gdi.CreatePen(0, width, 255);
        const Handle previous = gdi.SelectObject(ours.dc(), pen);
        EXPECT_TRUE(gdi.Polyline(ours.dc(), curve.data(), static_cast<int>(curve.size())));
        const HGDIOBJ before =
            SelectObject(reinterpret_cast<HDC>(system.dc()), reinterpret_cast<HGDIOBJ>(pen));
        ::Polyline(reinterpret_cast<HDC>(system.dc()), reinterpret_cast<const POINT*>(curve.data()),
                   static_cast<int>(curve.size()));
        int inked = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 200; ++x) {
                ASSERT_EQ(ours.at(x, y), system.at(x, y)) << width << ": " << x << ',' << y;
                inked += ours.at(x, y) != RGB(0, 0, 0) ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 400 * width);
        SelectObject(reinterpret_cast<HDC>(system.dc()), before);
        gdi.SelectObject(ours.dc(), previous);
        gdi.DeleteObject(pen);
    }
}

TEST(Win32Gdi, APolylineOfTwoPointsIsOneLine) {
    Bitmap bitmap(20, 20);
    Win32Gdi gdi;
    const Handle pen = gdi.CreatePen(0, 1, 16777215);
    const Handle previous = gdi.SelectObject(bitmap.dc(), pen);
    const std::array<CurvePoint, 2> points{{{2, 5}, {15, 5}}};
    gdi.Polyline(bitmap.dc(), points.data(), 2);
    gdi.SelectObject(bitmap.dc(), previous);
    gdi.DeleteObject(pen);
    EXPECT_EQ(bitmap.at(8, 5), RGB(255, 255, 255));
    EXPECT_EQ(bitmap.at(8, 6), RGB(0, 0, 0));
}

TEST(Win32SaverWindow, CoversTheScreenAndDrawsIntoItsBuffer) {
    QuietProcess process;
    Win32SaverWindow window(process);
    EXPECT_EQ(window.scaleWidth(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(window.scaleHeight(), GetSystemMetrics(SM_CYSCREEN));

    window.setBackColor(0);
    const auto dc = reinterpret_cast<HDC>(window.hDC());
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 0));

    Win32Gdi gdi;
    const Handle pen = gdi.CreatePen(0, 1, 255);
    const Handle previous = gdi.SelectObject(window.hDC(), pen);
    const std::array<CurvePoint, 2> points{{{0, 10}, {50, 10}}};
    gdi.Polyline(window.hDC(), points.data(), 2);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 0, 0));

    // Clearing uses the background colour last set.
    window.setBackColor(255 * 65536);
    window.cls();
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 255));
    gdi.SelectObject(window.hDC(), previous);
    gdi.DeleteObject(pen);
}

// Two frames on the shown window: the second clears only the first curve, invalidates only the two
// curves' tiles, and its paint puts the finished frame on the screen; a window painted over from
// outside gets the frame back from the buffer when it is uncovered.
TEST(Win32SaverWindow, AFrameClearsAndShowsOnlyWhatChanged) {
    QuietProcess process;
    Win32SaverWindow window(process);
    Win32Gdi gdi(window);
    window.setBackColor(0);
    window.show();
    const HWND shown = FindWindowW(L"loopster.screeen", nullptr);
    ASSERT_NE(shown, nullptr);
    const auto buffer = reinterpret_cast<HDC>(window.hDC());

    const auto frame = [&](std::int32_t colour, const std::array<CurvePoint, 2>& points) {
        const Handle pen = gdi.CreatePen(0, 2, colour);
        const Handle previous = gdi.SelectObject(window.hDC(), pen);
        window.cls();
        gdi.Polyline(window.hDC(), points.data(), 2);
        gdi.SelectObject(window.hDC(), previous);
        gdi.DeleteObject(pen);
    };
    frame(255, {{{100, 100}, {300, 100}}});
    UpdateWindow(shown);
    frame(255 * 256, {{{100, 400}, {300, 400}}});

    RECT update{};
    ASSERT_TRUE(GetUpdateRect(shown, &update, FALSE));
    // Both lines' tiles, and nothing far from them.
    EXPECT_LE(update.left, 98);
    EXPECT_LE(update.top, 98);
    EXPECT_GE(update.right, 302);
    EXPECT_GE(update.bottom, 402);
    const HRGN region = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(shown, region, FALSE);
    EXPECT_TRUE(PtInRegion(region, 200, 100));
    EXPECT_TRUE(PtInRegion(region, 200, 400));
    EXPECT_FALSE(PtInRegion(region, 200, 250));
    EXPECT_FALSE(PtInRegion(region, 600, 600));
    DeleteObject(region);
    EXPECT_EQ(GetPixel(buffer, 200, 100), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(buffer, 200, 400), RGB(0, 255, 0));

    UpdateWindow(shown);
    const HDC screen = GetDC(shown);
    EXPECT_EQ(GetPixel(screen, 200, 100), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(screen, 200, 400), RGB(0, 255, 0));
    // Painted over from outside, then uncovered.
    const RECT all{0, 0, window.scaleWidth(), window.scaleHeight()};
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    InvalidateRect(shown, nullptr, FALSE);
    UpdateWindow(shown);
    EXPECT_EQ(GetPixel(screen, 200, 400), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(screen, 200, 250), RGB(0, 0, 0));
    ReleaseDC(shown, screen);
}

}  // namespace
}  // namespace loopster
