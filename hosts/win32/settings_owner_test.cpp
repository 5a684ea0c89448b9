// The settings dialog under an owner, as the screen-saver settings start it: this program opens a
// window of its own, runs the real loopster.scr with `/c:HWND` naming it, and checks from outside
// that the dialog is owned by that window (so it stays above it), opens centred on it and leaves
// it usable (modeless). A handle that names no window leaves the dialog without an owner, centred
// on the screen. Then it closes the dialog and expects the saver to end with 0.
//
//   settings_owner_test.exe LOOPSTER_SCR   (a Unix path is read as Wine's drive Z:)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosts/win32/windows_api.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    if (!ok) {
        ++failures;
    }
}

// Handles this thread's messages (the owner's among them) until the time is up or `done` says so.
template <typename Done>
bool pumpUntil(DWORD timeoutMs, Done done) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (process == search->process && IsWindowVisible(window) &&
        std::wstring(title) == L"loopster configure") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

POINT centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool closeTo(POINT a, POINT b) {
    return std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2;
}

// Starts the saver with `/c:HANDLE`, checks the dialog and closes it. `owner` is the window the
// dialog must be owned by, or null when the handle names none.
void runCase(const std::string& scr, unsigned long long handle, HWND owner) {
    std::string commandLine = "\"" + scr + "\" /c:" + std::to_string(handle);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION saver{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &saver)) {
        check(false, "loopster.scr starts");
        return;
    }
    Search search{saver.dwProcessId, nullptr};
    pumpUntil(20000, [&search] {
        EnumWindows(&findDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    const HWND dialog = search.found;
    check(dialog != nullptr, "the settings dialog appears");
    if (dialog != nullptr) {
        const HWND actualOwner = GetWindow(dialog, GW_OWNER);
        if (owner != nullptr) {
            check(actualOwner == owner, "/c:HWND: the dialog is owned by that window");
            check(closeTo(centre(dialog), centre(owner)),
                  "/c:HWND: the dialog opens centred on it");
            check(IsWindowEnabled(owner) != FALSE, "/c:HWND: the owner stays usable (modeless)");
            // Raising the owner leaves its owned dialog above it.
            SetWindowPos(owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            pumpUntil(300, [] { return false; });
            bool above = false;
            for (HWND w = GetWindow(owner, GW_HWNDPREV); w != nullptr;
                 w = GetWindow(w, GW_HWNDPREV)) {
                above = above || w == dialog;
            }
            check(above, "/c:HWND: the dialog stays above its owner when the owner is raised");
        } else {
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
            const RECT& work = monitor.rcWork;
            const POINT middle{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
            check(actualOwner == nullptr, "a handle of no window: the dialog has no owner");
            check(closeTo(centre(dialog), middle), "a handle of no window: the dialog is centred");
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    const bool ended = pumpUntil(
        20000, [&saver] { return WaitForSingleObject(saver.hProcess, 0) == WAIT_OBJECT_0; });
    DWORD code = 1;
    if (!ended) {
        TerminateProcess(saver.hProcess, 1);
    }
    GetExitCodeProcess(saver.hProcess, &code);
    check(ended && code == 0, "closing the dialog ends loopster.scr with 0");
    CloseHandle(saver.hThread);
    CloseHandle(saver.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_owner_test LOOPSTER_SCR\n");
        return 2;
    }
    std::string scr = argv[1];
    if (scr.starts_with("/")) {
        scr = "Z:" + scr;
        for (char& c : scr) {
            c = c == '/' ? '\\' : c;
        }
    }

    // An owner away from the screen's centre, so that centring on it shows.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"loopster.owner";
    RegisterClassW(&windowClass);
    const HWND owner = CreateWindowExW(0, windowClass.lpszClassName, L"screen saver settings",
                                       WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 60, 520, 420, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
    pumpUntil(300, [] { return false; });

    runCase(scr, reinterpret_cast<std::uintptr_t>(owner), owner);
    // A handle that names no window: the owner is destroyed and its handle passed on.
    const HWND gone = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10,
                                      10, nullptr, nullptr, windowClass.hInstance, nullptr);
    const auto goneHandle = reinterpret_cast<std::uintptr_t>(gone);
    DestroyWindow(gone);
    runCase(scr, goneHandle, nullptr);

    DestroyWindow(owner);
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
