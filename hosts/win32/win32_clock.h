// Time and waiting on Windows: a millisecond tick, the local time of day, and the message pump
// that blocks in MsgWaitForMultipleObjectsEx until a message arrives or the timeout passes.
#pragma once

#include <cstdint>

#include "seam/clock.h"

namespace loopster {

class Win32ConfigView;

// The tick is timeGetTime, not the system's GetTickCount: on Windows GetTickCount only moves at
// each timer interrupt, every 15.6 ms by default, so a 33 ms frame paced by it lasts 47 ms and a
// set 30 fps shows 21. The first read asks the system for a 1 ms timer period, which both makes
// timeGetTime move every millisecond and lets the event wait wake within a millisecond of its
// timeout; the period is given back when the clock goes (or, as the saver ends the process,
// when the process does). The settings mode never reads the tick and so never raises the rate.
class Win32Clock final : public Clock {
  public:
    Win32Clock() = default;
    Win32Clock(const Win32Clock&) = delete;
    Win32Clock& operator=(const Win32Clock&) = delete;
    ~Win32Clock() override;

    std::uint32_t GetTickCount() override;
    float secondsSinceMidnight() override;

  private:
    bool m_finePeriod = false;
};

class Win32EventLoop final : public EventLoop {
  public:
    // The settings dialog is modeless, so its keyboard navigation (Tab, arrows, Enter) only works
    // when the pump hands its messages to IsDialogMessageW.
    explicit Win32EventLoop(const Win32ConfigView& dialog) : m_dialog(dialog) {}

    void pumpEvents() override;
    void waitForEvents(std::int32_t timeoutMs) override;
    // Waits for and handles messages for as long as the process lives: the settings mode, where
    // only the dialog's handlers end the process.
    [[noreturn]] void run();

  private:
    const Win32ConfigView& m_dialog;
};

}  // namespace loopster
