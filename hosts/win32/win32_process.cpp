// Process services through kernel32 and user32.
#include "hosts/win32/win32_process.h"

#include <utility>

#include "hosts/win32/windows_api.h"

#include "hosts/win32/win32_command_line.h"
#include "hosts/win32/win32_text.h"

namespace loopster {

namespace {

// One name for every session's instances: the mutex lives in the session's namespace, so a saver
// in another logged-on session does not count as a previous instance.
constexpr wchar_t kInstanceMutexName[] = L"loopster.instance";

}  // namespace

bool Win32Process::previousInstance() {
    // The handle is deliberately kept open for the life of the process: the mutex exists for as
    // long as this instance runs, and the system closes it when the process ends.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // A same-named object we may not open (another user's saver) is still another instance.
        return error == ERROR_ACCESS_DENIED;
    }
    return error == ERROR_ALREADY_EXISTS;
}

std::string Win32Process::commandLine() {
    return toUtf8(argumentsAfterProgramName(GetCommandLineW()));
}

void Win32Process::endProcess(int exitCode) {
    if (m_beforeEnd) {
        // Taken first, so that a failure inside it that ends the process again runs it once.
        const std::function<void()> work = std::exchange(m_beforeEnd, nullptr);
        work();
    }
    ExitProcess(static_cast<UINT>(exitCode));
}

void Win32Process::showFatalError(const std::string& message) {
    MessageBoxW(nullptr, toWide(message).c_str(), L"loopster",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

}  // namespace loopster
