// The Qt settings dialog. Widgets are placed by hand from the dialog's twip table
// (settings_dialog/dialog_layout.h) rather than by layouts, so the window looks as it always has;
// every size is scaled with the screen's logical DPI. The view keeps no state of its own: the
// dialog logic in settings_dialog/ owns it.
#include "hosts/qt/config_dialog.h"

#include <QAbstractButton>
#include <QAbstractNativeEventFilter>
#include <QButtonGroup>
#include <QByteArray>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <string_view>
#include <utility>

#include <xcb/xcb.h>

#include "core/settings/dialog_layout.h"

namespace loopster {

namespace {

double screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen == nullptr ? 96.0 : screen->logicalDotsPerInch();
}

// A path with the home folder shown as "~", the way Linux users read it.
QString friendlyPath(const std::string& path) {
    const QString full = QString::fromStdString(path);
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != "/" && (full == home || full.startsWith(home + "/"))) {
        return "~" + full.mid(home.size());
    }
    return full;
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? path : path.substr(0, slash);
}

}  // namespace

// The dialog window. Closing it only asks the logic (which unloads and ends the process); Escape
// does nothing, as the dialog has no Cancel button.
class ConfigDialog final : public QDialog, private QAbstractNativeEventFilter {
  public:
    explicit ConfigDialog(std::function<void()> onClose) : m_onClose(std::move(onClose)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        m_onClose();
    }

    // A window destroyed by another X client (xdotool windowclose) gets no close request, and the
    // process would live on without a window, holding the instance lock. It is closed all the
    // same, so it ends like the close button, saving nothing.
    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "xcb_generic_event_t" || internalWinId() == 0) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window ==
                static_cast<xcb_window_t>(internalWinId())) {
            m_onClose();
        }
        return false;
    }

  private:
    std::function<void()> m_onClose;
};

QtConfigView::QtConfigView(std::string settingsFile, HandlerGuard guard)
    : m_settingsFile(std::move(settingsFile)), m_guard(std::move(guard)) {}

QtConfigView::~QtConfigView() {
    delete m_dialog.data();
}

void QtConfigView::setEventHandler(ConfigEvents* handler) {
    m_handler = handler;
}

void QtConfigView::deliver(const std::function<void(ConfigEvents&)>& call) {
    if (m_handler == nullptr) {
        return;
    }
    ConfigEvents& handler = *m_handler;
    if (m_guard) {
        m_guard([&] { call(handler); });
    } else {
        call(handler);
    }
}

void QtConfigView::create() {
    if (m_dialog) {
        return;
    }
    const double dpi = screenDpi();
    const auto pixels = [dpi](int twips) { return twipsToPixels(twips, dpi); };

    auto* dialog =
        new ConfigDialog([this] { deliver([](ConfigEvents& h) { h.onCloseRequest(); }); });
    m_dialog = dialog;
    dialog->setObjectName("config");
    dialog->setWindowTitle(kConfigCaption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(pixels(kConfigClientWidthTwips), pixels(kConfigClientHeightTwips));

    auto* group = new QButtonGroup(dialog);
    group->setObjectName("LineWidthGroup");
    group->setExclusive(true);
    QWidget* frame = nullptr;
    QWidget* previousFocus = nullptr;
    for (const DialogControl& control : kConfigControls) {
        QWidget* parent = control.inFrame ? frame : dialog;
        QWidget* widget = createControl(control, parent, *group);
        widget->setObjectName(control.name);
        widget->setGeometry(pixels(control.place.left), pixels(control.place.top),
                            pixels(control.place.width), pixels(control.place.height));
        if (control.kind == ControlKind::Frame) {
            frame = widget;
        }
        // Tab order by tab index; Text1 is in the chain but skipped while it is display-only.
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previousFocus != nullptr) {
                QWidget::setTabOrder(previousFocus, widget);
            }
            previousFocus = widget;
        }
    }
    dialog->findChild<QPushButton*>("Command1")->setFocus();
}

QWidget* QtConfigView::createControl(const DialogControl& control, QWidget* parent,
                                     QButtonGroup& group) {
    const QString caption = QString::fromUtf8(control.caption);
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setAlignment((control.centred ? Qt::AlignHCenter : Qt::AlignLeft) |
                                Qt::AlignTop);
            if (std::string_view(control.name) == "Label1") {
                // The notice: four short lines fit; the full path of the file is in the tooltip.
                label->setText(QString::fromStdString(
                    configNotice(friendlyPath(parentFolder(m_settingsFile)).toStdString())));
                label->setWordWrap(true);
                label->setToolTip(QString::fromStdString(m_settingsFile));
            }
            return label;
        }
        case ControlKind::ScrollBar: {
            auto* scroll = new QScrollBar(Qt::Horizontal, parent);
            scroll->setRange(kConfigScrollMin, kConfigScrollMax);
            scroll->setSingleStep(kConfigScrollStep);
            scroll->setPageStep(kConfigScrollStep);
            // Qt's scroll bars invert their keys by default (Left and Up raise the value, like a
            // vertical bar's Down); Right and Up raise it here, the way the arrows beside the thumb
            // point.
            scroll->setInvertedControls(false);
            // Text1 follows the value only when the thumb is released, not while it is dragged.
            scroll->setTracking(false);
            scroll->setFocusPolicy(Qt::StrongFocus);
            QObject::connect(scroll, &QScrollBar::valueChanged, parent, [this](int value) {
                deliver([value](ConfigEvents& h) { h.onScrollChange(value); });
            });
            return scroll;
        }
        case ControlKind::TextBox: {
            auto* text = new QLineEdit(caption, parent);
            text->setEnabled(false);
            return text;
        }
        case ControlKind::Frame:
            return new QGroupBox(caption, parent);
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(caption, parent);
            group.addButton(option);
            // Option1 is light lines, Option2 heavy.
            const bool light = std::string_view(control.name) == "Option1";
            QObject::connect(option, &QAbstractButton::clicked, parent, [this, light] {
                deliver([light](ConfigEvents& h) { h.onOptionClick(light); });
            });
            return option;
        }
        case ControlKind::CommandButton: {
            auto* ok = new QPushButton(caption, parent);
            ok->setAutoDefault(true);
            ok->setDefault(true);
            QObject::connect(ok, &QAbstractButton::clicked, parent,
                             [this] { deliver([](ConfigEvents& h) { h.onOkClick(); }); });
            return ok;
        }
    }
    return new QWidget(parent);
}

void QtConfigView::showText1(const std::string& text) {
    if (m_dialog) {
        m_dialog->findChild<QLineEdit*>("Text1")->setText(QString::fromStdString(text));
    }
}

void QtConfigView::showScrollValue(int value) {
    if (m_dialog) {
        auto* scroll = m_dialog->findChild<QScrollBar*>("HScroll1");
        const QSignalBlocker quiet(scroll);
        scroll->setValue(value);
    }
}

void QtConfigView::showOption1(bool light) {
    if (m_dialog) {
        m_dialog->findChild<QRadioButton*>(light ? "Option1" : "Option2")->setChecked(true);
    }
}

void QtConfigView::show() {
    if (m_dialog) {
        m_dialog->show();
        m_dialog->findChild<QPushButton*>("Command1")->setFocus();
        m_dialog->raise();
        m_dialog->activateWindow();
    }
}

// The window may be unloaded from inside one of its own event handlers, so it is deleted later,
// once control is back in the event loop.
void QtConfigView::unload() {
    if (m_dialog) {
        m_dialog->hide();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}

// Window-modal and non-blocking: the dialog stays open behind the message, and the event loop
// (with its tests) keeps running.
void QtConfigView::showError(const std::string& message) {
    auto* box = new QMessageBox(QMessageBox::Critical, kConfigCaption,
                                QString::fromStdString(message), QMessageBox::Ok, m_dialog);
    box->setObjectName("SaveError");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QDialog* QtConfigView::window() const {
    return m_dialog;
}

}  // namespace loopster
