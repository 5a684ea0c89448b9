// The loopster executable on Linux: the Qt implementations of the platform seam, wired to Main.
// Main returns only in settings mode, which then runs Qt's event loop until the dialog ends the
// process; in saver mode the render loop pumps the events itself and the process ends inside it.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "display/monitor_windows.h"
#include "platform/posix/posix_files.h"
#include "platform/qt/config_dialog.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_gdi.h"
#include "platform/qt/qt_monitors.h"
#include "platform/qt/qt_process.h"
#include "platform/qt/qt_saver_window.h"
#include "platform/random.h"
#include "startup/entry.h"

namespace {

// Qt meets a display it cannot open with a fatal message, an abort and a core file. While the
// application is being created, that message becomes one line of ours and exit code 1, and the
// warnings before it, which only lead up to it, are held back; they are shown once the
// application exists.
loopster::Process* startingProcess = nullptr;
std::vector<QString> heldMessages;

std::string noDisplayMessage() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string where;
    if (platform != nullptr && platform[0] != '\0') {
        where = std::string("QT_QPA_PLATFORM=") + platform;
    } else if (x11 != nullptr && x11[0] != '\0') {
        where = std::string("DISPLAY=") + x11;
    } else if (wayland != nullptr && wayland[0] != '\0') {
        where = std::string("WAYLAND_DISPLAY=") + wayland;
    } else {
        where = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    }
    return "loopster: no display could be opened (" + where + ")";
}

void startupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        startingProcess->showFatalError(noDisplayMessage());
        startingProcess->endProcess(1);
    }
    heldMessages.push_back(qFormatLogMessage(type, context, message));
}

void holdStartupMessages(loopster::Process& process) {
    startingProcess = &process;
    qInstallMessageHandler(startupMessage);
}

void releaseStartupMessages() {
    qInstallMessageHandler(nullptr);
    for (const QString& message : heldMessages) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    heldMessages.clear();
    startingProcess = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace loopster;
    QtProcess process(argc, argv);
    // Decided before a display is opened, so that a refused start ends at once even without one.
    if (startModeOf(process.commandLine()) == StartMode::Refused) {
        process.endProcess(0);
    }
    holdStartupMessages(process);
    QApplication application(argc, argv);
    releaseStartupMessages();
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
