// The desktop on Qt.
#include "hosts/qt/qt_desktop.h"

#include <QApplication>
#include <QCursor>
#include <QRect>
#include <QScreen>
#include <QString>
#include <algorithm>

#include "common/twips.h"

namespace loopster {

namespace {

double twips(int pixels, double dotsPerInch) {
    return static_cast<double>(pixels) * twipsPerPixel(dotsPerInch);
}

}  // namespace

double QtDesktop::screenWidthTwips() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen == nullptr ? 0.0
                             : twips(screen->geometry().width(), screen->logicalDotsPerInchX());
}

double QtDesktop::screenHeightTwips() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen == nullptr ? 0.0
                             : twips(screen->geometry().height(), screen->logicalDotsPerInchY());
}

// X11 carries pointer positions as 16-bit numbers, so a screen's size in twips (above 32767 from
// 2185 pixels at 96 dpi) would wrap, to the left edge or beyond. Held to the desktop first, the
// position lands where the system's own clamp puts it on smaller screens: the bottom-right pixel.
void QtDesktop::SetCursorPos(int x, int y) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !pointerCanBeParked()) {
        return;
    }
    const QRect desktop = screen->virtualGeometry();
    QCursor::setPos(std::clamp(x, desktop.left(), desktop.right()),
                    std::clamp(y, desktop.top(), desktop.bottom()));
}

bool pointerCanBeParked() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

void QtDesktop::beep() {
    QApplication::beep();
}

}  // namespace loopster
