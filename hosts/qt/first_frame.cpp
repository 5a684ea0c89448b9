// The first frame's watchdog: a thread that sleeps until the first frame or the limit.
#include "hosts/qt/first_frame.h"

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "hosts/qt/timing_log.h"

namespace loopster {

namespace {

std::atomic<bool> shown{false};
std::mutex mutex;
std::condition_variable shownChanged;
void (*onShown)() = nullptr;

}  // namespace

void watchFirstFrame(std::chrono::milliseconds limit, void (*firstShown)()) {
    onShown = firstShown;
    std::thread([limit] {
        std::unique_lock<std::mutex> lock(mutex);
        if (shownChanged.wait_for(lock, limit, [] { return shown.load(); })) {
            return;
        }
        // The main thread is stuck, maybe holding the standard streams' locks: one write(2), and
        // an exit that runs nothing of the program's.
        const std::string line =
            "loopster: nothing was shown within " + std::to_string(limit.count()) +
            " ms of the start (the display, or a service the window system waits on, does not "
            "answer); the saver ends\n";
        static_cast<void>(::write(STDERR_FILENO, line.data(), line.size()));
        std::_Exit(1);
    }).detach();
}

void frameShown() {
    timingLog("shown");
    if (shown.load(std::memory_order_relaxed)) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        shown = true;
    }
    shownChanged.notify_all();
    if (onShown != nullptr) {
        onShown();
    }
}

}  // namespace loopster
