// The loopster executable on Linux: the Qt implementations of the platform seam, wired to Main.
// Main returns only in settings mode, which then runs Qt's event loop until the dialog ends the
// process; in saver mode the render loop pumps the events itself and the process ends inside it.
#include <QApplication>
#include <memory>

#include "display/monitor_windows.h"
#include "platform/qt/config_dialog.h"
#include "platform/qt/posix_files.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_gdi.h"
#include "platform/qt/qt_monitors.h"
#include "platform/qt/qt_process.h"
#include "platform/qt/qt_saver_window.h"
#include "platform/random.h"
#include "startup/entry.h"

int main(int argc, char** argv) {
    using namespace loopster;
    QtProcess process(argc, argv);
    QApplication application(argc, argv);
    // Lets the desktop match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("loopster"));

    QtDesktop desktop;
    PosixFiles files;
    QtClock clock;
    QtEventLoop eventLoop;
    StandardRandom random;
    // A saver window on every monitor; the drawing calls find each window's back buffer.
    QtMonitors monitors(process);
    MonitorWindows saverWindows(monitors);
    QtMonitorSurfaces surfaces(saverWindows);
    QtGdi gdi(surfaces);
    const FileLocations locations = linuxFileLocations();
    // The dialog's clicks arrive from Qt's event loop, outside Main's guard.
    QtConfigView configView(locations.settingsFile, [&process](const std::function<void()>& call) {
        runGuarded(process, call);
    });
    Platform platform{process, desktop,      files,      clock,     eventLoop,    random,
                      gdi,     saverWindows, configView, locations, &saverWindows};
    const auto state = std::make_unique<SaverState>();
    Config config(configView, files, desktop, process, platform.locations);

    runGuarded(process, [&] { Main(platform, *state, config); });
    return QApplication::exec();
}
