// The hack's event wait: it blocks in poll() on the X connection and on a signal descriptor, so it
// costs nothing between frames, and it ends the run there. SIGTERM, SIGINT and SIGHUP (the daemon
// ends its hacks with SIGTERM) end it within a frame's wait: the shared memory is let go, then the
// process dies by that same signal, as a hack is expected to; a lost X connection or a destroyed
// window ends it with status 1 and one line on stderr.
#pragma once

#include <cstdint>

#include "hosts/xscreensaver/foreign_window.h"
#include "seam/clock.h"

struct xcb_connection_t;

namespace loopster {

// A hack asked to stop ends by that signal, as the daemon expects: its log then reads the ending
// as the kill it sent rather than as an exit. The event loop asks for such an end with the shell's
// exit code for a death by the signal (128 plus its number), which the hack's process turns back
// into the signal; endingSignalOf gives 0 for any other code.
int exitCodeForSignal(int signal);
int endingSignalOf(int exitCode);
[[noreturn]] void endBySignal(int signal);

// Blocks the ending signals for the whole process, so that they wait in the signal descriptor
// instead of killing it. Called first thing in main, before any other thread could exist.
void blockEndingSignals();

class HackEventLoop final : public EventLoop {
  public:
    // The signal descriptor is made here; blockEndingSignals must have run.
    HackEventLoop(xcb_connection_t* connection, ForeignWindow& window);
    ~HackEventLoop() override;
    HackEventLoop(const HackEventLoop&) = delete;
    HackEventLoop& operator=(const HackEventLoop&) = delete;

    // A window of the hack's own ends the run, with status 0, when the window manager asks for
    // it to close with this WM_DELETE_WINDOW atom.
    void endOnDeleteRequest(std::uint32_t deleteAtom) { m_deleteAtom = deleteAtom; }

    void pumpEvents() override;
    void waitForEvents(std::int32_t timeoutMs) override;

  private:
    xcb_connection_t* m_connection;
    ForeignWindow& m_window;
    int m_signals = -1;
    bool m_reportedError = false;
    std::uint32_t m_deleteAtom = 0;
};

}  // namespace loopster
