// The loopster executable on Linux: the Qt implementations of the seam, wired to Main.
// Main returns only in settings mode, which then runs Qt's event loop until the dialog ends the
// process; in saver mode the render loop pumps the events itself and the process ends inside it.
//
// This host supports:
// - X11 and Wayland, through Qt's platform plugins;
// - a saver window on every monitor (every RandR monitor and X screen, every Wayland output);
// - on X11, frames put straight to the window by hosts/x11 over Qt's own connection;
// - parking the pointer on X11, and a clear pointer on Wayland, where it cannot be moved;
// - a key, a mouse button or the third pointer movement ending the saver;
// - the settings dialog (/c), one instance per user, the settings and marker files of XDG;
// - a start that covers the screen at once or ends with one line (no session bus, a first-frame
//   watchdog).

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/pattern/standard_random.h"
#include "core/program/entry.h"
#include "core/raster/raster_gdi.h"
#include "core/saver/monitor_windows.h"
#include "hosts/posix/posix_clock.h"
#include "hosts/posix/posix_files.h"
#include "hosts/posix/posix_process.h"
#include "hosts/qt/config_dialog.h"
#include "hosts/qt/first_frame.h"
#include "hosts/qt/qt_desktop.h"
#include "hosts/qt/qt_event_loop.h"
#include "hosts/qt/qt_monitors.h"
#include "hosts/qt/qt_saver_window.h"

namespace {

// Qt meets a display it cannot open with a fatal message, an abort and a core file. While the
// application is being created, that message becomes one line of ours and exit code 1, and the
// warnings before it, which only lead up to it, are held back; they are shown once the
// application exists.
loopster::Process* startingProcess = nullptr;
std::mutex messagesMutex;
std::vector<QString> heldMessages;
bool holding = true;

// Where the display was looked for, as the environment names it. Qt tries Wayland first where
// both are set, then X11, so both are named then.
std::string displayNamed() {
    std::string where;
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            where += (where.empty() ? "" : ", ") + std::string(name) + "=" + value;
        }
    }
    return where.empty() ? "neither DISPLAY nor WAYLAND_DISPLAY is set" : where;
}

// The Qt platform plugin that Qt's own warning names as `what` ("find" or "load"); empty when it
// names none.
QString pluginThatCouldNot(const char* what) {
    const QRegularExpression pattern(
        QStringLiteral("Could not %1 the Qt platform plugin \"([^\"]+)\"")
            .arg(QString::fromLatin1(what)));
    for (const QString& message : heldMessages) {
        const QRegularExpressionMatch match = pattern.match(message);
        if (match.hasMatch()) {
            return match.captured(1);
        }
    }
    return {};
}

// Whether a platform plugin that Qt loaded then found no display to connect to, as Qt says before
// it names that plugin as not loaded: the display failed, not the plugin.
bool displayRefused() {
    static const QRegularExpression refused(
        QStringLiteral("could not connect to display|Failed to create wl_display"),
        QRegularExpression::CaseInsensitiveOption);
    return std::any_of(heldMessages.begin(), heldMessages.end(),
                       [](const QString& message) { return refused.match(message).hasMatch(); });
}

QString pluginFile(const QString& plugin) {
    return QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libq") +
           plugin + QStringLiteral(".so");
}

// Why the plugin that Qt found did not load, as the dynamic loader says it when asked again (Qt
// only says so with its plugin debugging on): a library missing, or no descriptor left. Qt has
// let go of its descriptors by now, so a plugin that loads now failed for want of them.
std::string loadFailure(const QString& plugin) {
    const QString file = pluginFile(plugin);
    void* const library = ::dlopen(file.toLocal8Bit().constData(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        const char* const error = ::dlerror();
        return error != nullptr ? error : "the loader gave no reason";
    }
    ::dlclose(library);
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    return std::string(std::strerror(EMFILE)) + ": this process may have " +
           std::to_string(files.rlim_cur) + " files open at once (ulimit -n)";
}

// One line that names the cause and, where a Debian package brings the missing part, the remedy.
// Qt's Wayland plugins come apart from Qt itself; the X11 one comes with Qt's GUI library.
std::string startFailureMessage() {
    QString failed = pluginThatCouldNot("load");
    // Without a descriptor to list the plugin folder with, Qt takes a plugin that is there for
    // one that is not.
    if (const QString notFound = pluginThatCouldNot("find");
        failed.isEmpty() && !notFound.isEmpty() &&
        ::access(pluginFile(notFound).toLocal8Bit().constData(), F_OK) == 0) {
        failed = notFound;
    }
    if (displayRefused()) {
        failed.clear();
    }
    if (!failed.isEmpty()) {
        return "loopster: Qt's \"" + failed.toStdString() +
               "\" platform plugin is installed but failed to load (" + loadFailure(failed) +
               "), so no display could be opened (" + displayNamed() + ")";
    }
    const QString plugin = pluginThatCouldNot("find");
    if (plugin.isEmpty()) {
        return "loopster: no display could be opened (" + displayNamed() + ")";
    }
    std::string remedy;
    if (plugin.startsWith(QStringLiteral("wayland"))) {
        remedy = "install the package qt6-wayland";
    } else if (plugin == QStringLiteral("xcb")) {
        remedy = "install the package libqt6gui6";
    } else {
        remedy = "set QT_QPA_PLATFORM to a platform that is installed, or unset it";
    }
    return "loopster: Qt's \"" + plugin.toStdString() +
           "\" platform plugin is not installed, so no display could be opened (" + displayNamed() +
           "); " + remedy;
}

// Any other fatal error (no descriptor left for an event loop of Qt's): Qt's own words, on one
// line.
std::string otherFailureMessage(const QString& fatal) {
    QString line = QStringLiteral("loopster: Qt cannot go on: ") + fatal;
    for (const QString& message : heldMessages) {
        line += QStringLiteral(" (") + message + QStringLiteral(")");
    }
    return line.simplified().toStdString();
}

void startupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Qt's threads (the X event reader) report here too.
    const std::lock_guard<std::mutex> lock(messagesMutex);
    if (type == QtFatalMsg) {
        const bool platform = message.contains(QStringLiteral("platform plugin"));
        startingProcess->showFatalError(platform ? startFailureMessage()
                                                 : otherFailureMessage(message));
        startingProcess->endProcess(1);
    }
    if (holding) {
        heldMessages.push_back(qFormatLogMessage(type, context, message));
    } else {
        std::fprintf(stderr, "%s\n",
                     qFormatLogMessage(type, context, message).toLocal8Bit().constData());
    }
}

void holdStartupMessages(loopster::Process& process) {
    startingProcess = &process;
    qInstallMessageHandler(startupMessage);
}

// Shows the warnings held so far and every later one as it comes; a fatal error still ends with
// one line of ours.
void releaseStartupMessages() {
    const std::lock_guard<std::mutex> lock(messagesMutex);
    for (const QString& message : heldMessages) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    heldMessages.clear();
    holding = false;
}

// The saver has nothing to say on the session bus, yet Qt connects to it on its own: for the
// accessibility bridge at the first widget shown, and for the desktop's theme. A bus that does
// not answer (its daemon stopped) would hold the saver there before it covers the screen. An
// address of no transport makes every such connection fail at once. Qt's own event loop, rather
// than GLib's, ends with a message of Qt's where descriptors run out (GLib stops the process with
// a breakpoint trap), and the saver pumps its events itself anyway. The saver's windows have no
// frame, yet Qt's Wayland plugin would load the system's OpenGL (about 45 MiB of it with Mesa's
// software renderer) only to ask whether it could draw one; a user's own setting stays.
void keepTheSaverToItself() {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    ::setenv("QT_NO_GLIB", "1", 1);
    ::setenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1", 0);
}

// The files a running saver holds open: the standard streams, the X connection, Qt's event
// pipes, the back buffer's memory file and up to three locks (12 measured), with room to load
// the platform plugin. With fewer, Qt fails at one point or another of its start (a crash, a
// window left unpainted), so the saver says so at once instead.
constexpr rlim_t kSaverDescriptors = 16;

void checkDescriptors(loopster::Process& process) {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= kSaverDescriptors) {
        return;
    }
    if (files.rlim_max >= kSaverDescriptors || files.rlim_max == RLIM_INFINITY) {
        files.rlim_cur = kSaverDescriptors;
        if (::setrlimit(RLIMIT_NOFILE, &files) == 0) {
            return;
        }
    }
    process.showFatalError("loopster: this process may have only " +
                           std::to_string(files.rlim_cur) +
                           " files open at once (ulimit -n), and the saver needs " +
                           std::to_string(kSaverDescriptors));
    process.endProcess(1);
}

constexpr const char* kUsage =
    "Usage: loopster /s\n"
    "       loopster /c[:number]\n"
    "       loopster --help | --version\n"
    "\n"
    "A spirograph screen saver: one closed roulette curve that morphs from pattern to pattern.\n"
    "  /s              run the saver full screen on every monitor; any key, mouse button or\n"
    "                  mouse movement ends it\n"
    "  /c, /c:number   open the settings dialog: the frame rate and the line width\n"
    "  --help, -h      print this help\n"
    "  --version       print the version\n"
    "Anything else (/p 1234, /S, no argument) ends at once without doing anything. The saver\n"
    "does not lock the screen: let an idle or lock tool start it. The display mode for the\n"
    "xscreensaver daemon is /usr/libexec/xscreensaver/loopster; see loopster(1) and\n"
    "loopster(6x).\n";

// The Linux conventions beside the screen-saver switches: help and version on stdout, and a hint
// for a start that does nothing but looks like a person typed it (no argument, or an option
// with a dash). Returns the exit status when the command line is one of these.
std::optional<int> answerLinuxOptions(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2 && first == "--version") {
        std::fputs("loopster " LOOPSTER_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 1) {
        std::fputs(
            "loopster: nothing to do without a switch: /s runs the saver, /c opens its "
            "settings (loopster --help tells more)\n",
            stderr);
        return 0;
    }
    if (first.starts_with('-')) {
        std::fprintf(stderr,
                     "loopster: \"%s\" is not an option of the saver, so it does nothing; "
                     "loopster --help lists them\n",
                     first.c_str());
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace loopster;
    if (const auto status = answerLinuxOptions(argc, argv)) {
        return *status;
    }
    PosixProcess process(argc, argv);
    // Decided before a display is opened, so that a refused start ends at once even without one.
    const StartMode mode = startModeOf(process.commandLine());
    if (mode == StartMode::Refused) {
        process.endProcess(0);
    }
    if (mode == StartMode::Saver) {
        // The saver's warnings wait for its first frame: a start that fails says one line.
        checkDescriptors(process);
        watchFirstFrame(kFirstFrameLimit, releaseStartupMessages);
        keepTheSaverToItself();
    }
    holdStartupMessages(process);
    QApplication application(argc, argv);
    if (mode != StartMode::Saver) {
        releaseStartupMessages();
    }
    // Lets the desktop match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("loopster"));

    QtDesktop desktop;
    PosixFiles files;
    PosixClock clock;
    QtEventLoop eventLoop;
    StandardRandom random;
    // A saver window on every monitor; the drawing calls find each window's back buffer.
    QtMonitors monitors(process);
    MonitorWindows saverWindows(monitors);
    QtMonitorSurfaces surfaces(saverWindows);
    RasterGdi gdi(surfaces);
    const FileLocations locations = linuxFileLocations();
    // The dialog's clicks arrive from Qt's event loop, outside Main's guard.
    QtConfigView configView(locations.settingsFile, [&process](const std::function<void()>& call) {
        runGuarded(process, call);
    });
    // Tests hold one pattern and frame still to compare the screen with the lab's picture.
    std::string pinProblem;
    const std::optional<FramePin> pin = parseFramePin(std::getenv("LOOPSTER_TEST_PIN"), pinProblem);
    if (!pinProblem.empty()) {
        std::fprintf(stderr, "loopster: %s\n", pinProblem.c_str());
    }
    Platform platform{process,    desktop,   files,         clock,
                      eventLoop,  random,    gdi,           saverWindows,
                      configView, locations, &saverWindows, pin ? &*pin : nullptr};
    const auto state = std::make_unique<SaverState>();
    Config config(configView, files, desktop, process, platform.locations);

    runGuarded(process, [&] { Main(platform, *state, config); });
    return QApplication::exec();
}
