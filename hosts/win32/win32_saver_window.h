// The saver window `screeen` on Windows: a borderless topmost popup over the whole primary screen,
// or over the monitor it is placed on, hidden until the render loop shows it. Drawing goes to a
// memory-DC back buffer that the window copies to the screen in one BitBlt when it paints, so a
// frame never flickers and an uncovered window repaints itself. A frame clears only the tiles the
// previous curve inked and invalidates only those and the new curve's tiles, so its cost follows
// the curve, not the screen.
#pragma once

#include "hosts/win32/windows_api.h"

#include <vector>

#include "core/raster/damage.h"
#include "hosts/win32/win32_gdi.h"
#include "seam/process.h"
#include "seam/saver_window.h"

namespace loopster {

class Win32SaverWindow final : public SaverWindow, public InkObserver {
  public:
    explicit Win32SaverWindow(Process& process) : m_process(process) {}
    ~Win32SaverWindow() override;
    Win32SaverWindow(const Win32SaverWindow&) = delete;
    Win32SaverWindow& operator=(const Win32SaverWindow&) = delete;

    void setEventHandler(SaverWindowEvents* handler) override { m_handler = handler; }
    int scaleHeight() override;
    int scaleWidth() override;
    void setBackColor(std::int32_t colour) override;
    void show() override;
    Handle hDC() override;
    void cls() override;
    void close() override;

    // A polyline drawn on the back buffer: its tiles are invalidated, to be shown at the next
    // paint, and cleared by the next cls(). A polyline on another device context is ignored.
    void inked(Handle dc, const CurvePoint* points, int count, int penWidth) override;

    // Covers the area of the virtual screen given in pixels (a monitor, which may lie left of or
    // above the primary one) instead of the primary screen; a window already made moves at once.
    // An empty area leaves the primary screen.
    void place(int left, int top, int width, int height);

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ensureCreated();
    // Gives the back buffer the window's current client size, cleared to the background.
    void resizeBuffer();
    void fillBuffer();
    // The changed tiles as one region for the window to paint at the next pump.
    void invalidateChanged();
    // A region of `rects`, or null when there are none; the caller deletes it.
    HRGN regionOf(const std::vector<DamageRect>& rects);

    Process& m_process;
    SaverWindowEvents* m_handler = nullptr;
    HWND m_window = nullptr;
    HDC m_buffer = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_initialBitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
    COLORREF m_backColor = RGB(0, 0, 0);
    // The colour the whole buffer was last filled with: while it is the background, only the
    // inked tiles need clearing.
    COLORREF m_filledWith = RGB(0, 0, 0);
    DamageTracker m_damage;
    // Reused from frame to frame for the regions' rectangle lists.
    std::vector<RECT> m_regionData;
    RECT m_placement{};
};

}  // namespace loopster
