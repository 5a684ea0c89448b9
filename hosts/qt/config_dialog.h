// The settings dialog's window on Qt 6: every control of the dialog's table at its place in twips,
// scaled to the screen, showing what the dialog logic pushes and reporting the user's clicks back.
#pragma once

#include <functional>
#include <string>

#include <QPointer>

#include "common/twips.h"
#include "seam/config_view.h"

class QButtonGroup;
class QDialog;
class QWidget;

namespace loopster {

class ConfigDialog;
struct DialogControl;

class QtConfigView final : public ConfigView {
  public:
    // Runs one call into the dialog logic; main wraps it so that a fatal error shows its message.
    using HandlerGuard = std::function<void(const std::function<void()>&)>;

    // `settingsFile` is only named in the notice, so that the user knows where OK saves.
    explicit QtConfigView(std::string settingsFile, HandlerGuard guard = {});
    ~QtConfigView() override;
    QtConfigView(const QtConfigView&) = delete;
    QtConfigView& operator=(const QtConfigView&) = delete;

    void setEventHandler(ConfigEvents* handler) override;
    void create() override;
    void showText1(const std::string& text) override;
    void showScrollValue(int value) override;
    void showOption1(bool light) override;
    void show() override;
    void unload() override;
    void showError(const std::string& message) override;

    // The window while the dialog is loaded, else null. Its controls carry the dialog's names
    // (Text1, HScroll1, Option1, ...) as object names.
    QDialog* window() const;

  private:
    void deliver(const std::function<void(ConfigEvents&)>& call);
    // One control of the dialog's table, with the behaviour of its kind; placing is the caller's.
    QWidget* createControl(const DialogControl& control, QWidget* parent, QButtonGroup& group);

    std::string m_settingsFile;
    HandlerGuard m_guard;
    ConfigEvents* m_handler = nullptr;
    QPointer<ConfigDialog> m_dialog;
};

}  // namespace loopster
