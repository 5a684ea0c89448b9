// Time and waiting on Qt.
#include "hosts/qt/qt_clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTime>
#include <ctime>

namespace loopster {

std::uint32_t QtClock::GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

float QtClock::secondsSinceMidnight() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}

void QtEventLoop::pumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::waitForEvents(std::int32_t timeoutMs) {
    if (timeoutMs <= 0) {
        pumpEvents();
        return;
    }
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
    }
    // The timer's expiry is an event too, so the wait below ends at the timeout at the latest;
    // the caller checks the tick and waits again when something else woke it earlier.
    m_timer->start(timeoutMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_timer->stop();
}

}  // namespace loopster
