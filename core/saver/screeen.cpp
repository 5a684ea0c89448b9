// The saver window's exit rules.
#include "core/saver/screeen.h"

#include "common/numeric.h"

namespace loopster {

void Screeen::onKeyDown(int /*keyCode*/) {
    m_window.close();
}

void Screeen::onMouseDown(int /*button*/) {
    m_window.close();
}

void Screeen::onClick() {
    m_window.close();
}

// The pointer can be reported at the window's corner right after parking and when the window
// appears under it, which is why the first two events are let pass. Every later event ends the
// saver, wherever it is reported: the parking position is in twips and never matches a pixel
// position on a real screen, so comparing with it would change nothing.
void Screeen::onMouseMove(float /*x*/, float /*y*/) {
    m_moveCount = toInt16(m_moveCount + 1.0);
    if (m_moveCount <= 2) {
        return;
    }
    m_window.close();
}

void Screeen::onClose() {
    m_process.endProcess(0);
}

}  // namespace loopster
