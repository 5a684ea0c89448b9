// The settings dialog's window, controls and control notifications.
#include "platform/win32/config_dialog.h"

#include <array>

#include "common/error_guard.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/text.h"

namespace loopster {

namespace {

// The scroll bar's range: the lowest value is the setting that the form stores with 5, so both
// steps, arrow and trough, keep their default of 1.
constexpr int kScrollMin = 5;
constexpr int kScrollMax = 100;
constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidthTwips = 2430;
constexpr int kClientHeightTwips = 2820;
constexpr int kFrameLeft = 120;
constexpr int kFrameTop = 1680;

struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    // Left, top, width, height in twips from the client area's corner; the four members of Frame1
    // are given from the frame's corner and moved by it, as they are siblings of the frame here.
    int left;
    int top;
    int width;
    int height;
    bool inFrame;
};

// In tab-index order, which is the creation order and so the order the dialog manager tabs in.
// The labels and the frame take no focus; Text1 is display-only (disabled), so the focus goes
// from OK to the scroll bar and on to the line-width group.
const std::array<ControlLayout, 11> kControls{{
    // Short enough for four lines of the dialog font in the label's 855 twips.
    {LOOPSTER_LABEL1, L"STATIC",
     L"The saver's top frame rate and line width. OK saves them in c:\\temp.", SS_LEFT, 0, 120, 120,
     2175, 855, false},
    {IDOK, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 840, 2400, 735, 375,
     false},
    {LOOPSTER_HSCROLL1, L"SCROLLBAR", L"", SBS_HORZ | WS_TABSTOP | WS_GROUP, 0, 120, 1080, 1575,
     255, false},
    {LOOPSTER_TEXT1, L"EDIT", L"30", ES_LEFT | ES_AUTOHSCROLL | WS_DISABLED | WS_TABSTOP | WS_GROUP,
     WS_EX_CLIENTEDGE, 1800, 1080, 495, 285, false},
    {LOOPSTER_FRAME1, L"BUTTON", L"line width", BS_GROUPBOX | WS_GROUP, 0, 0, 0, 2175, 615, true},
    // Automatic option buttons: the dialog manager selects them with the arrow keys as well as
    // with a click, and each selection reaches the settings through BN_CLICKED.
    {LOOPSTER_OPTION1, L"BUTTON", L"Option1", BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 0, 120,
     240, 255, 255, true},
    {LOOPSTER_OPTION2, L"BUTTON", L"Option2", BS_AUTORADIOBUTTON, 0, 1200, 240, 255, 255, true},
    {LOOPSTER_LABEL2, L"STATIC", L"heavy", SS_LEFT | WS_GROUP, 0, 1440, 240, 735, 255, true},
    {LOOPSTER_LABEL3, L"STATIC", L"light", SS_LEFT, 0, 360, 240, 495, 255, true},
    {LOOPSTER_LABEL4, L"STATIC", L"max frame rate", SS_CENTER, 0, 120, 1320, 1575, 255, false},
    {LOOPSTER_LABEL5, L"STATIC", L"fps", SS_CENTER, 0, 1800, 1320, 495, 255, false},
}};

template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
    // Through a generic function pointer, the conversion the system documents for GetProcAddress.
    using Generic = void (*)();
    return reinterpret_cast<Function>(
        reinterpret_cast<Generic>(GetProcAddress(GetModuleHandleW(module), name)));
}

// The dialog's DPI: per monitor where the system knows it (Windows 10 1607 and later), otherwise
// the system's logical resolution.
int dialogDpi(HWND dialog) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        systemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(dialog);
        if (dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    const HDC screen = GetDC(dialog);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(dialog, screen);
    return dpi > 0 ? dpi : 96;
}

int pixels(int twips, int dpi) {
    return MulDiv(twips, dpi, kTwipsPerInch);
}

}  // namespace

Win32ConfigView::~Win32ConfigView() {
    unload();
}

void Win32ConfigView::create() {
    if (m_dialog != nullptr) {
        return;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    CreateDialogParamW(instance, MAKEINTRESOURCEW(LOOPSTER_CONFIG_DIALOG), nullptr,
                       &Win32ConfigView::dialogProc, reinterpret_cast<LPARAM>(this));
}

void Win32ConfigView::createControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int dpi = dialogDpi(m_dialog);
    const auto font = static_cast<WPARAM>(SendMessageW(m_dialog, WM_GETFONT, 0, 0));
    for (const ControlLayout& layout : kControls) {
        const int left = layout.left + (layout.inFrame ? kFrameLeft : 0);
        const int top = layout.top + (layout.inFrame ? kFrameTop : 0);
        const HWND created = CreateWindowExW(
            layout.exStyle, layout.className, layout.text, WS_CHILD | WS_VISIBLE | layout.style,
            pixels(left, dpi), pixels(top, dpi), pixels(layout.width, dpi),
            pixels(layout.height, dpi), m_dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
        SendMessageW(created, WM_SETFONT, font, FALSE);
    }

    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    scroll.nMin = kScrollMin;
    scroll.nMax = kScrollMax;
    scroll.nPage = 0;
    scroll.nPos = 30;
    SetScrollInfo(control(LOOPSTER_HSCROLL1), SB_CTL, &scroll, FALSE);
    CheckRadioButton(m_dialog, LOOPSTER_OPTION1, LOOPSTER_OPTION2, LOOPSTER_OPTION1);

    // The client area is fixed in twips; the frame around it is whatever this system draws.
    RECT frame{0, 0, pixels(kClientWidthTwips, dpi), pixels(kClientHeightTwips, dpi)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_EXSTYLE));
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_dialog, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    const HANDLE icon =
        LoadImageW(instance, MAKEINTRESOURCEW(LOOPSTER_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void Win32ConfigView::showText1(const std::string& text) {
    SetWindowTextW(control(LOOPSTER_TEXT1), toWide(text).c_str());
}

void Win32ConfigView::showScrollValue(int value) {
    SetScrollPos(control(LOOPSTER_HSCROLL1), SB_CTL, value, TRUE);
}

void Win32ConfigView::showOption1(bool light) {
    CheckRadioButton(m_dialog, LOOPSTER_OPTION1, LOOPSTER_OPTION2,
                     light ? LOOPSTER_OPTION1 : LOOPSTER_OPTION2);
    // Tabbing into the group lands on the selected mark, as in any option group; the first mark
    // keeps WS_GROUP so the group's bounds do not move.
    const HWND selected = control(light ? LOOPSTER_OPTION1 : LOOPSTER_OPTION2);
    const HWND other = control(light ? LOOPSTER_OPTION2 : LOOPSTER_OPTION1);
    SetWindowLongPtrW(selected, GWL_STYLE, GetWindowLongPtrW(selected, GWL_STYLE) | WS_TABSTOP);
    SetWindowLongPtrW(other, GWL_STYLE,
                      GetWindowLongPtrW(other, GWL_STYLE) & ~LONG_PTR{WS_TABSTOP});
}

void Win32ConfigView::show() {
    ShowWindow(m_dialog, SW_SHOW);
    SetForegroundWindow(m_dialog);
    SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(IDOK)), TRUE);
}

void Win32ConfigView::unload() {
    if (m_dialog != nullptr) {
        const HWND dialog = m_dialog;
        m_dialog = nullptr;
        DestroyWindow(dialog);
    }
}

void Win32ConfigView::showError(const std::string& message) {
    MessageBoxW(m_dialog, toWide(message).c_str(), L"loopster", MB_OK | MB_ICONEXCLAMATION);
}

void Win32ConfigView::onScroll(int code, int thumbPosition) {
    const HWND bar = control(LOOPSTER_HSCROLL1);
    const int current = GetScrollPos(bar, SB_CTL);
    int value = current;
    switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT:
            value = current - 1;
            break;
        case SB_LINERIGHT:
        case SB_PAGERIGHT:
            value = current + 1;
            break;
        case SB_LEFT:
            value = kScrollMin;
            break;
        case SB_RIGHT:
            value = kScrollMax;
            break;
        // The value follows a dragged thumb only when it is released; SB_THUMBTRACK while it
        // moves, and SB_ENDSCROLL after every action, change nothing.
        case SB_THUMBPOSITION:
            value = thumbPosition;
            break;
        default:
            return;
    }
    value = value < kScrollMin ? kScrollMin : value > kScrollMax ? kScrollMax : value;
    if (value == current) {
        return;
    }
    SetScrollPos(bar, SB_CTL, value, TRUE);
    if (m_handler != nullptr) {
        ConfigEvents* handler = m_handler;
        runGuarded(m_process, [handler, value] { handler->onScrollChange(value); });
    }
}

INT_PTR CALLBACK Win32ConfigView::dialogProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32ConfigView*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->m_dialog = dialog;
        self->createControls();
        // The focus is placed on OK when the dialog is shown.
        return FALSE;
    }
    auto* self = reinterpret_cast<Win32ConfigView*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr || self->m_dialog != dialog) {
        return FALSE;
    }
    return self->handleMessage(message, wParam, lParam);
}

INT_PTR Win32ConfigView::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    ConfigEvents* handler = m_handler;
    switch (message) {
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == control(LOOPSTER_HSCROLL1)) {
                onScroll(LOWORD(wParam), static_cast<std::int16_t>(HIWORD(wParam)));
            }
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED || handler == nullptr) {
                return TRUE;
            }
            if (id == IDOK) {
                runGuarded(m_process, [handler] { handler->onOkClick(); });
            } else if (id == LOOPSTER_OPTION1 || id == LOOPSTER_OPTION2) {
                const bool light = id == LOOPSTER_OPTION1;
                runGuarded(m_process, [handler, light] { handler->onOptionClick(light); });
            }
            // IDCANCEL (the Escape key) has no reaction: only the close button ends the dialog.
            return TRUE;
        }
        case WM_CLOSE:
            if (handler != nullptr) {
                runGuarded(m_process, [handler] { handler->onCloseRequest(); });
            } else {
                unload();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace loopster
