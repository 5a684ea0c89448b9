// Waiting on Qt.
#include "hosts/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace loopster {

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
