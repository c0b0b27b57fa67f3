#include "ui/help/HelpContext.h"

#include "ui/help/HelpTopics.h"
#include "ui/help/HelpWindow.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace korvanta::ui {

namespace {

constexpr const char* kContextProperty = "korvantaHelpContext";
constexpr const char* kCenterName = "korvantaHelpCenter";

} // namespace

// --- Contexts ---------------------------------------------------------------------

void setHelpContext(QWidget* widget, int context) {
    if (!widget) return;
    widget->setProperty(kContextProperty, context > 0 ? QVariant(context) : QVariant());
}

int helpContextOf(const QWidget* widget) {
    // Parents lead through the widget's window (and the windows that own
    // it) to the main window.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant context = w->property(kContextProperty);
        if (context.isValid()) return context.toInt();
    }
    return kHelpMainWindow;
}

// --- The registration ------------------------------------------------------------------

HelpCenter::HelpCenter(QObject* parent) : QObject(parent) {
    setObjectName(QLatin1String(kCenterName));
}

HelpCenter* HelpCenter::instance() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    if (auto* center =
            app->findChild<HelpCenter*>(QLatin1String(kCenterName), Qt::FindDirectChildrenOnly))
        return center;
    return new HelpCenter(app);
}

HelpWindow* HelpCenter::window() const {
    return static_cast<HelpWindow*>(m_window.data());
}

void HelpCenter::setWindow(HelpWindow* window) {
    if (window == m_window) return;
    if (m_window) disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (window) {
        connect(window, &QObject::destroyed, this, [this] {
            m_window = nullptr;
            emit availabilityChanged(false);
        });
        if (!m_keys) {
            m_keys = new HelpKeyFilter(this);
            QCoreApplication::instance()->installEventFilter(m_keys);
        }
    }
    emit availabilityChanged(window != nullptr);
}

void registerHelpWindow(HelpWindow* window) {
    if (HelpCenter* center = HelpCenter::instance()) center->setWindow(window);
}

HelpWindow* registeredHelpWindow() {
    HelpCenter* center = HelpCenter::instance();
    return center ? center->window() : nullptr;
}

bool helpAvailable() {
    return registeredHelpWindow() != nullptr;
}

bool requestHelp(QWidget* from, int context) {
    HelpWindow* window = registeredHelpWindow();
    if (!window) return false;
    window->showTopic(context > 0 ? context : helpContextOf(from));
    return true;
}

void connectHelpButton(QAbstractButton* button, int context) {
    if (!button) return;
    HelpCenter* center = HelpCenter::instance();
    button->setEnabled(center && center->window());
    if (!center) return;
    QObject::connect(center, &HelpCenter::availabilityChanged, button, &QWidget::setEnabled);
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [button, context] { requestHelp(button, context); });
}

// --- F1 ----------------------------------------------------------------------------------

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // The key reaches the focus widget's window first, then the widget:
    // the widget decides.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !helpAvailable()) return false;
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so no shortcut takes the key and the press comes here.
        event->accept();
        return true;
    }
    return requestHelp(widget, helpContextOf(widget));
}

} // namespace korvanta::ui
