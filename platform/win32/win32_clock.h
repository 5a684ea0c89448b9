// Time and waiting on Windows: GetTickCount, the local time of day, and the message pump that
// blocks in MsgWaitForMultipleObjectsEx until a message arrives or the timeout passes.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace loopster {

class Win32ConfigView;

class Win32Clock final : public Clock {
  public:
    std::int32_t GetTickCount() override;
    float secondsSinceMidnight() override;
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
