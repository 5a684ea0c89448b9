// The desktop on Qt.
#include "platform/qt/qt_desktop.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>

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

void QtDesktop::SetCursorPos(int x, int y) {
    QCursor::setPos(x, y);
}

void QtDesktop::beep() {
    QApplication::beep();
}

}  // namespace loopster
