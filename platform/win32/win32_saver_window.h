// The saver window `screeen` on Windows: a borderless topmost popup over the whole primary screen,
// or over the monitor it is placed on, hidden until the render loop shows it. Drawing goes to a
// memory-DC back buffer that the window copies to the screen in one BitBlt when it paints, so a
// frame never flickers and an uncovered window repaints itself.
#pragma once

#include "platform/win32/windows_api.h"

#include "platform/process.h"
#include "platform/saver_window.h"

namespace loopster {

class Win32SaverWindow final : public SaverWindow {
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

    Process& m_process;
    SaverWindowEvents* m_handler = nullptr;
    HWND m_window = nullptr;
    HDC m_buffer = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_initialBitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
    COLORREF m_backColor = RGB(0, 0, 0);
    RECT m_placement{};
};

}  // namespace loopster
