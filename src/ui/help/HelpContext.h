#pragma once
// Help for any window without a pointer to the main window. A widget names
// its help topic (a context number of HelpTopics.h) with setHelpContext; F1
// anywhere shows the topic of the widget with the keyboard focus, found by
// walking up its parents. The one help window is registered here by whoever
// makes it (the main window); until then, and after it is gone, F1 does
// nothing and Help buttons stay disabled.
//
// The registration lives in a small object owned by the application, so
// tests start from nothing by destroying their help window. GUI thread only.

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

namespace korvanta::ui {

class HelpWindow;

// The widget's own topic; a context below 1 takes it away again.
void setHelpContext(QWidget* widget, int context);
// The topic of the widget or its nearest parent that has one, else
// kHelpMainWindow.
int helpContextOf(const QWidget* widget);

// Makes window the one help window (null: none) and starts the F1 key for
// the whole application. The registration ends by itself when the window
// is destroyed.
void registerHelpWindow(HelpWindow* window);
HelpWindow* registeredHelpWindow();
bool helpAvailable();

// Shows the topic in the help window; a context below 1 means the topic of
// from. False when there is no help window.
bool requestHelp(QWidget* from, int context);

// A dialog's "Help" button: enabled while help is available, and a click
// shows the topic.
void connectHelpButton(QAbstractButton* button, int context);

// Turns F1 into the help of the widget it was pressed on. F1 also beats a
// shortcut on the same key, so context help wins over a menu's F1. Does
// nothing while no help window is registered.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The application's registration (a child of the application object).
class HelpCenter : public QObject {
    Q_OBJECT
public:
    // Null without an application object.
    static HelpCenter* instance();

    HelpWindow* window() const;
    void setWindow(HelpWindow* window);

signals:
    void availabilityChanged(bool available);

private:
    explicit HelpCenter(QObject* parent);

    QPointer<QObject> m_window;      // the HelpWindow; null once it is destroyed
    HelpKeyFilter* m_keys = nullptr; // installed with the first window
};

} // namespace korvanta::ui
