// The settings dialog `config` on Windows: a modeless dialog whose frame comes from the resource
// template and whose controls are created from the dialog's table in tab order, at their places in
// twips converted to pixels for the dialog's DPI, and shown in the dialog's font.
#pragma once

#include <string>
#include <utility>

#include "hosts/win32/windows_api.h"
#include "seam/config_view.h"
#include "seam/process.h"

namespace loopster {

class Win32ConfigView final : public ConfigView {
  public:
    // `settingsFile` is only named in the notice, so that the user knows where OK saves.
    Win32ConfigView(Process& process, std::string settingsFile)
        : m_process(process), m_settingsFile(std::move(settingsFile)) {}
    ~Win32ConfigView() override;
    Win32ConfigView(const Win32ConfigView&) = delete;
    Win32ConfigView& operator=(const Win32ConfigView&) = delete;

    // The window that owns the dialog (the screen-saver settings that started `/c:HWND`): the
    // dialog stays above it and opens centred on it, and the owner stays usable. Set before the
    // dialog is loaded; a handle that names no window is ignored.
    void setOwner(HWND owner) { m_owner = owner; }

    void setEventHandler(ConfigEvents* handler) override { m_handler = handler; }
    void create() override;
    void showText1(const std::string& text) override;
    void showScrollValue(int value) override;
    void showOption1(bool light) override;
    void show() override;
    void unload() override;
    void showError(const std::string& message) override;

    // The dialog's window while it is loaded, for the message pump's IsDialogMessageW.
    HWND handle() const { return m_dialog; }

  private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void onScroll(int code, int thumbPosition);
    HWND control(int id) const { return GetDlgItem(m_dialog, id); }

    Process& m_process;
    std::string m_settingsFile;
    ConfigEvents* m_handler = nullptr;
    HWND m_dialog = nullptr;
    HWND m_owner = nullptr;
};

}  // namespace loopster
