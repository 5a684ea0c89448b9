// The hack's event wait.
#include "hosts/xscreensaver/hack_event_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace loopster {

namespace {

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

int exitCodeForSignal(int signal) {
    return 128 + signal;
}

int endingSignalOf(int exitCode) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (exitCode == exitCodeForSignal(signal)) {
            return signal;
        }
    }
    return 0;
}

// The signal is still blocked, so raising it leaves it pending, and the default action takes the
// process the moment it is unblocked.
void endBySignal(int signal) {
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    ::raise(signal);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    // Not reached unless the signal could not be delivered; the shell's convention then.
    std::_Exit(exitCodeForSignal(signal));
}

void blockEndingSignals() {
    const sigset_t set = endingSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    // A write to a closed X connection must come back as an error, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
}

HackEventLoop::HackEventLoop(xcb_connection_t* connection, ForeignWindow& window)
    : m_connection(connection), m_window(window) {
    const sigset_t set = endingSignals();
    m_signals = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signals < 0) {
        // Without the descriptor the signals could never arrive; their default action at least
        // ends the process.
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}

HackEventLoop::~HackEventLoop() {
    if (m_signals >= 0) {
        ::close(m_signals);
    }
}

void HackEventLoop::pumpEvents() {
    // A signal that came in while the frame was drawn ends the run before anything else.
    signalfd_siginfo info{};
    if (m_signals >= 0 && ::read(m_signals, &info, sizeof info) == sizeof info) {
        // The window lets go of the shared memory first, then the process ends by the signal.
        m_window.end(exitCodeForSignal(static_cast<int>(info.ssi_signo)), std::string());
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const auto type = static_cast<std::uint8_t>(event->response_type & 0x7F);
        if (type == 0) {
            const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event);
            const bool windowGone =
                (error->error_code == XCB_WINDOW || error->error_code == XCB_DRAWABLE) &&
                error->resource_id == m_window.window();
            if (windowGone) {
                std::free(event);
                m_window.end(1, "loopster: the window it draws on is gone");
            }
            // Any other refusal is reported once; drawing goes on.
            if (!m_reportedError) {
                m_reportedError = true;
                std::fprintf(stderr, "loopster: the X server refused request %u (error %u)\n",
                             static_cast<unsigned>(error->major_code),
                             static_cast<unsigned>(error->error_code));
            }
        } else if (type == XCB_CLIENT_MESSAGE && m_deleteAtom != 0) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->window == m_window.window() && message->format == 32 &&
                message->data.data32[0] == m_deleteAtom) {
                std::free(event);
                m_window.end(0, std::string());
            }
        } else if (type == XCB_EXPOSE) {
            const auto* exposed = reinterpret_cast<const xcb_expose_event_t*>(event);
            if (exposed->window == m_window.window()) {
                m_window.expose(DamageRect{exposed->x, exposed->y, exposed->x + exposed->width,
                                           exposed->y + exposed->height});
            }
        } else if (type == XCB_DESTROY_NOTIFY) {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (destroyed->window == m_window.window()) {
                std::free(event);
                m_window.end(1, "loopster: the window it draws on is gone");
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) != 0) {
        m_window.end(1, "loopster: lost the connection to the X server");
    }
}

void HackEventLoop::waitForEvents(std::int32_t timeoutMs) {
    if (timeoutMs > 0) {
        pollfd watched[2] = {
            {xcb_get_file_descriptor(m_connection), POLLIN, 0},
            {m_signals, POLLIN, 0},
        };
        // Wakes for an X event, a signal or the timeout; the caller checks the tick and waits
        // again when woken early.
        ::poll(watched, m_signals >= 0 ? 2 : 1, timeoutMs);
    }
    pumpEvents();
}

}  // namespace loopster
