// The tick, the time of day and the message pump.
#include "hosts/win32/win32_clock.h"

#include "hosts/win32/windows_api.h"

#include <mmsystem.h>

#include "hosts/win32/win32_config_dialog.h"

namespace loopster {

namespace {

// The timer period asked for while the saver runs, in milliseconds.
constexpr UINT kTimerPeriodMs = 1;

}  // namespace

Win32Clock::~Win32Clock() {
    if (m_finePeriod) {
        timeEndPeriod(kTimerPeriodMs);
    }
}

std::uint32_t Win32Clock::GetTickCount() {
    if (!m_finePeriod) {
        // Fails only for a period outside the system's range; the tick then moves as it can.
        m_finePeriod = timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR;
    }
    // Milliseconds since the system started, in 32 bits like GetTickCount; the render loop's
    // deadline arithmetic is modular, so the counter's wrap costs nothing.
    return timeGetTime();
}

float Win32Clock::secondsSinceMidnight() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const double seconds =
        now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
    return static_cast<float>(seconds);
}

void Win32EventLoop::pumpEvents() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const HWND dialog = m_dialog.handle();
        if (dialog != nullptr && IsDialogMessageW(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32EventLoop::waitForEvents(std::int32_t timeoutMs) {
    if (timeoutMs > 0) {
        // The timeout comes from whole ticks, so the deadline's tick arrives between
        // timeoutMs - 1 and timeoutMs from now. Windows ends a wait at the first timer interrupt
        // after it has run out, and the tick moves at those interrupts: a wait of the full
        // timeout ends one interrupt after the deadline's tick, every frame a millisecond late
        // (29.4 fps for a set 30, 91 for 100). One millisecond less ends it at the deadline's
        // own interrupt, and the caller checks the tick and waits on if that was too early.
        const std::int32_t wait = timeoutMs > 1 ? timeoutMs - 1 : timeoutMs;
        // MWMO_INPUTAVAILABLE also wakes for input already in the queue but seen by an earlier
        // peek, so a key pressed during a frame never waits out the whole timeout.
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    pumpEvents();
}

void Win32EventLoop::run() {
    for (;;) {
        WaitMessage();
        pumpEvents();
    }
}

}  // namespace loopster
