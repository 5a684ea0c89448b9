// The Qt settings dialog. Widgets are placed by hand from the dialog's twip table rather than by
// layouts, so the window looks as it always has; every size is scaled with the screen's logical
// DPI. The view keeps no state of its own: the dialog logic in settings_dialog/ owns it.
#include "platform/qt/config_dialog.h"

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
#include <cmath>
#include <utility>

#include <xcb/xcb.h>

namespace loopster {

namespace {

constexpr const char* kCaption = "loopster configure";

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

int twipsToPixels(int twips, double logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / 1440.0));
}

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
    const auto place = [dpi](QWidget* widget, int left, int top, int width, int height) {
        widget->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
                            twipsToPixels(width, dpi), twipsToPixels(height, dpi));
    };
    const auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(name);
        return widget;
    };

    auto* dialog =
        new ConfigDialog([this] { deliver([](ConfigEvents& h) { h.onCloseRequest(); }); });
    m_dialog = dialog;
    dialog->setObjectName("config");
    dialog->setWindowTitle(kCaption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(twipsToPixels(2430, dpi), twipsToPixels(2820, dpi));

    // Four short lines fit; the full path of the file is in the tooltip.
    auto* label1 = new QLabel("The saver's top frame rate and line width. OK saves them in " +
                                  friendlyPath(parentFolder(m_settingsFile)),
                              dialog);
    named(label1, "Label1");
    label1->setWordWrap(true);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label1->setToolTip(QString::fromStdString(m_settingsFile));
    place(label1, 120, 120, 2175, 855);

    auto* scroll = new QScrollBar(Qt::Horizontal, dialog);
    named(scroll, "HScroll1");
    scroll->setRange(5, 100);
    scroll->setSingleStep(1);
    scroll->setPageStep(1);
    scroll->setValue(30);
    // Qt's scroll bars invert their keys by default (Left and Up raise the value, like a vertical
    // bar's Down); Right and Up raise it here, the way the arrows beside the thumb point.
    scroll->setInvertedControls(false);
    // Text1 follows the value only when the thumb is released, not while it is dragged.
    scroll->setTracking(false);
    scroll->setFocusPolicy(Qt::StrongFocus);
    place(scroll, 120, 1080, 1575, 255);
    QObject::connect(scroll, &QScrollBar::valueChanged, dialog, [this](int value) {
        deliver([value](ConfigEvents& h) { h.onScrollChange(value); });
    });

    auto* text1 = new QLineEdit("30", dialog);
    named(text1, "Text1");
    text1->setEnabled(false);
    place(text1, 1800, 1080, 495, 285);

    auto* label4 = new QLabel("max frame rate", dialog);
    named(label4, "Label4");
    label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(label4, 120, 1320, 1575, 255);

    auto* label5 = new QLabel("fps", dialog);
    named(label5, "Label5");
    label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(label5, 1800, 1320, 495, 255);

    auto* frame = new QGroupBox("line width", dialog);
    named(frame, "Frame1");
    place(frame, 120, 1680, 2175, 615);

    // The option buttons are as narrow as their marks, so their captions are cut off; the words
    // beside them are plain labels that take no clicks.
    auto* option1 = new QRadioButton("Option1", frame);
    named(option1, "Option1");
    option1->setChecked(true);
    place(option1, 120, 240, 255, 255);
    auto* label3 = new QLabel("light", frame);
    named(label3, "Label3");
    place(label3, 360, 240, 495, 255);
    auto* option2 = new QRadioButton("Option2", frame);
    named(option2, "Option2");
    place(option2, 1200, 240, 255, 255);
    auto* label2 = new QLabel("heavy", frame);
    named(label2, "Label2");
    place(label2, 1440, 240, 735, 255);

    auto* group = new QButtonGroup(dialog);
    group->setObjectName("LineWidthGroup");
    group->setExclusive(true);
    group->addButton(option1);
    group->addButton(option2);
    QObject::connect(option1, &QAbstractButton::clicked, dialog,
                     [this] { deliver([](ConfigEvents& h) { h.onOptionClick(true); }); });
    QObject::connect(option2, &QAbstractButton::clicked, dialog,
                     [this] { deliver([](ConfigEvents& h) { h.onOptionClick(false); }); });

    auto* ok = new QPushButton("OK", dialog);
    named(ok, "Command1");
    ok->setAutoDefault(true);
    ok->setDefault(true);
    place(ok, 840, 2400, 735, 375);
    QObject::connect(ok, &QAbstractButton::clicked, dialog,
                     [this] { deliver([](ConfigEvents& h) { h.onOkClick(); }); });

    // Tab order by tab index: OK, the scroll bar, Text1 (skipped while display-only), the marks.
    QWidget::setTabOrder(ok, scroll);
    QWidget::setTabOrder(scroll, text1);
    QWidget::setTabOrder(text1, option1);
    QWidget::setTabOrder(option1, option2);
    ok->setFocus();
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
    auto* box = new QMessageBox(QMessageBox::Critical, kCaption, QString::fromStdString(message),
                                QMessageBox::Ok, m_dialog);
    box->setObjectName("SaveError");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QDialog* QtConfigView::window() const {
    return m_dialog;
}

}  // namespace loopster
