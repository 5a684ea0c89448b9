// The entry of loopster.scr: builds the Windows implementations of the seam, hands them to Main,
// and in settings mode runs the message loop until the dialog ends the process.
//
// This host supports:
// - a saver window on every monitor, per-monitor DPI aware, each with a memory DC back buffer;
// - parking the pointer, and putting it back where it was when the process ends;
// - a key, a mouse button, the wheel or the third pointer movement ending the saver;
// - the settings dialog (/c, owned by the window that /c:HWND names), the previous-instance test,
//   the settings and marker files beside the system's temporary folder; /p ends at once.
#include <memory>

#include "core/pattern/standard_random.h"
#include "core/program/entry.h"
#include "core/saver/monitor_windows.h"
#include "core/saver/saver_state.h"
#include "core/settings/config.h"
#include "hosts/win32/win32_clock.h"
#include "hosts/win32/win32_command_line.h"
#include "hosts/win32/win32_config_dialog.h"
#include "hosts/win32/win32_desktop.h"
#include "hosts/win32/win32_files.h"
#include "hosts/win32/win32_gdi.h"
#include "hosts/win32/win32_monitors.h"
#include "hosts/win32/win32_process.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace loopster;

    // Loads version 6 of the common controls (the manifest asks for it), so the dialog's buttons
    // and scroll bar get the system's current look.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Process process;
    Win32Desktop desktop;
    Win32Files files;
    Win32Clock clock;
    const FileLocations locations = win32FileLocations();
    Win32ConfigView configView(process, locations.settingsFile);
    configView.setOwner(
        reinterpret_cast<HWND>(settingsOwnerOf(argumentsAfterProgramName(GetCommandLineW()))));
    // Every end of the process, by input, by the dialog or by an error, puts the pointer back
    // where the saver found it.
    process.setBeforeEnd([&desktop] { desktop.restorePointer(); });
    Win32EventLoop eventLoop(configView);
    StandardRandom random;
    // A saver window on every monitor, each told what the polylines drew on its own buffer.
    Win32Monitors monitors(process);
    MonitorWindows saverWindows(monitors);
    Win32MonitorInk ink(saverWindows);
    Win32Gdi gdi(ink);
    Platform platform{process, desktop,      files,      clock,     eventLoop,    random,
                      gdi,     saverWindows, configView, locations, &saverWindows};

    // The frame table and curve buffer are large: on the heap, not on the main thread's stack.
    const auto state = std::make_unique<SaverState>();
    Config config(configView, files, desktop, process, platform.locations);

    runGuarded(process, [&] { Main(platform, *state, config); });
    eventLoop.run();
}
