// The settings dialog's window, controls and control notifications. The controls come from the
// dialog's table (settings_dialog/dialog_layout.h); what is Windows' own is the class and style
// that each kind of control gets.
#include "hosts/win32/win32_config_dialog.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "common/error_guard.h"
#include "common/twips.h"
#include "core/settings/dialog_layout.h"
#include "hosts/win32/resource_ids.h"
#include "hosts/win32/win32_text.h"

namespace loopster {

namespace {

// Control identifiers: OK is IDOK, so that the dialog manager's Enter presses it; every other
// control is numbered after its tab index.
constexpr int kFirstControlId = 1000;
constexpr int controlId(const DialogControl& control) {
    return control.kind == ControlKind::CommandButton ? IDOK : kFirstControlId + control.tabIndex;
}

constexpr int kHScroll1 = controlId(configControl("HScroll1"));
constexpr int kText1 = controlId(configControl("Text1"));
constexpr int kOption1 = controlId(configControl("Option1"));
constexpr int kOption2 = controlId(configControl("Option2"));

struct Win32Control {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

// The system's control for each kind. The table is in tab order, which is the creation order and
// so the order the dialog manager tabs in; a group starts at every control that takes the focus,
// at the frame, at the first option button and at the first control after the option buttons, so
// the arrow keys move only between the two marks.
Win32Control win32Control(const DialogControl& control, bool afterOption) {
    const DWORD group = afterOption ? WS_GROUP : 0;
    switch (control.kind) {
        case ControlKind::Label:
            return {L"STATIC", (control.centred ? SS_CENTER : SS_LEFT) | group, 0};
        case ControlKind::ScrollBar:
            return {L"SCROLLBAR", SBS_HORZ | WS_TABSTOP | WS_GROUP, 0};
        case ControlKind::TextBox:
            return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_DISABLED | WS_TABSTOP | WS_GROUP,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Frame:
            return {L"BUTTON", BS_GROUPBOX | WS_GROUP, 0};
        case ControlKind::OptionButton:
            // Automatic option buttons: the dialog manager selects them with the arrow keys as
            // well as with a click, and each selection reaches the settings through BN_CLICKED.
            return {L"BUTTON",
                    static_cast<DWORD>(BS_AUTORADIOBUTTON) |
                        (afterOption ? 0 : static_cast<DWORD>(WS_TABSTOP | WS_GROUP)),
                    0};
        case ControlKind::CommandButton:
            return {L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0};
    }
    return {L"STATIC", 0, 0};
}

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

// The folder part of a Windows path, "c:\\temp" for "c:\\temp\\tovren.txt".
std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

// Where a dialog of this size opens: centred on its owner, or on the work area without one, and
// held inside the work area of the owner's monitor so that its caption can be reached.
POINT dialogPlace(HWND owner, int width, int height) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    RECT around = work;
    if (owner != nullptr) {
        GetWindowRect(owner, &around);
    }
    const LONG left = around.left + (around.right - around.left - width) / 2;
    const LONG top = around.top + (around.bottom - around.top - height) / 2;
    return POINT{std::clamp(left, work.left, std::max(work.left, work.right - width)),
                 std::clamp(top, work.top, std::max(work.top, work.bottom - height))};
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
    // The owner of a pop-up dialog is its parent argument; the dialog stays modeless, so the
    // owner is not disabled.
    const HWND owner = m_owner != nullptr && IsWindow(m_owner) ? m_owner : nullptr;
    m_owner = owner;
    CreateDialogParamW(instance, MAKEINTRESOURCEW(LOOPSTER_CONFIG_DIALOG), owner,
                       &Win32ConfigView::dialogProc, reinterpret_cast<LPARAM>(this));
}

void Win32ConfigView::createControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int dpi = dialogDpi(m_dialog);
    const auto pixels = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    SetWindowTextW(m_dialog, toWide(kConfigCaption).c_str());
    const auto font = static_cast<WPARAM>(SendMessageW(m_dialog, WM_GETFONT, 0, 0));
    const std::wstring notice = toWide(configNotice(parentFolder(m_settingsFile)));
    bool afterOption = false;
    for (const DialogControl& layout : kConfigControls) {
        // The four members of Frame1 are siblings of the frame here, moved by its corner.
        const int left = layout.place.left + (layout.inFrame ? kConfigFrame.place.left : 0);
        const int top = layout.place.top + (layout.inFrame ? kConfigFrame.place.top : 0);
        const Win32Control system = win32Control(layout, afterOption);
        afterOption = layout.kind == ControlKind::OptionButton;
        const std::wstring caption =
            std::string_view(layout.name) == "Label1" ? notice : toWide(layout.caption);
        const HWND created = CreateWindowExW(
            system.exStyle, system.className, caption.c_str(), WS_CHILD | WS_VISIBLE | system.style,
            pixels(left), pixels(top), pixels(layout.place.width), pixels(layout.place.height),
            m_dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(layout))), instance,
            nullptr);
        SendMessageW(created, WM_SETFONT, font, FALSE);
    }

    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_RANGE | SIF_PAGE;
    scroll.nMin = kConfigScrollMin;
    scroll.nMax = kConfigScrollMax;
    scroll.nPage = 0;
    SetScrollInfo(control(kHScroll1), SB_CTL, &scroll, FALSE);

    // The client area is fixed in twips; the frame around it is whatever this system draws.
    RECT frame{0, 0, pixels(kConfigClientWidthTwips), pixels(kConfigClientHeightTwips)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_EXSTYLE));
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const auto [left, top] = dialogPlace(m_owner, width, height);
    SetWindowPos(m_dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    const HANDLE icon =
        LoadImageW(instance, MAKEINTRESOURCEW(LOOPSTER_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void Win32ConfigView::showText1(const std::string& text) {
    SetWindowTextW(control(kText1), toWide(text).c_str());
}

void Win32ConfigView::showScrollValue(int value) {
    SetScrollPos(control(kHScroll1), SB_CTL, value, TRUE);
}

void Win32ConfigView::showOption1(bool light) {
    CheckRadioButton(m_dialog, kOption1, kOption2, light ? kOption1 : kOption2);
    // Tabbing into the group lands on the selected mark, as in any option group; the first mark
    // keeps WS_GROUP so the group's bounds do not move.
    const HWND selected = control(light ? kOption1 : kOption2);
    const HWND other = control(light ? kOption2 : kOption1);
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
    const HWND bar = control(kHScroll1);
    const int current = GetScrollPos(bar, SB_CTL);
    int value = current;
    switch (code) {
        case SB_LINELEFT:
        case SB_PAGELEFT:
            value = current - kConfigScrollStep;
            break;
        case SB_LINERIGHT:
        case SB_PAGERIGHT:
            value = current + kConfigScrollStep;
            break;
        case SB_LEFT:
            value = kConfigScrollMin;
            break;
        case SB_RIGHT:
            value = kConfigScrollMax;
            break;
        // The value follows a dragged thumb only when it is released; SB_THUMBTRACK while it
        // moves, and SB_ENDSCROLL after every action, change nothing.
        case SB_THUMBPOSITION:
            value = thumbPosition;
            break;
        default:
            return;
    }
    value = std::clamp(value, kConfigScrollMin, kConfigScrollMax);
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
            if (reinterpret_cast<HWND>(lParam) == control(kHScroll1)) {
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
            } else if (id == kOption1 || id == kOption2) {
                const bool light = id == kOption1;
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
