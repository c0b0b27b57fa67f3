#pragma once
// The help window ("Korvanta Help"): the program's help pages in a browser
// with Back, Forward and Contents. One window serves the whole program: the
// main window makes it and registers it (HelpContext.h), and every request
// shows its page there and brings the window to the front, above a modal
// dialog that asked for it, so the pages can be read and clicked while the
// dialog stays open. Links between pages stay in the window; web and mail
// links go to the system's programs. A missing folder or page shows a
// sentence saying so instead of an empty window. Escape closes the window.
// GUI thread only.

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

class QPushButton;
class QTextBrowser;

namespace korvanta::ui {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Korvanta Help";
    // Pages larger than this are not read (ours are a few kilobytes).
    static constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;

    // Opens a link that is no help page; false when nothing could open it.
    using LinkOpener = std::function<bool(const QUrl&)>;

    // folder: where the pages are (the install folder + "help/"). With a
    // parent the window stays a window of its own, closed with the parent.
    explicit HelpWindow(const QString& folder, QWidget* parent = nullptr);

    const QString& folder() const { return m_folder; }
    QTextBrowser* browser() const { return m_browser; }

    // Show the page (contents, or a topic's: HelpTopics.h) and bring the
    // window up.
    void showContents();
    void showTopic(int context);

    // Web and mail links; QDesktopServices::openUrl unless replaced (tests).
    void setLinkOpener(LinkOpener opener);

    // What the browser shows instead of a page that is not there.
    static QString missingFolderText(const QString& folder);
    static QString missingPageText(const QString& page, const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openPage(const QString& file);
    void followLink(const QUrl& link);
    void present();
    // Keeps the window usable over a modal dialog, and lets go of it when
    // the dialog hides.
    void stayAbove(QWidget* modal);
    void releaseModal();

    QString m_folder; // absolute, with a trailing '/'
    QTextBrowser* m_browser;
    QPushButton* m_back;
    QPushButton* m_forward;
    QPushButton* m_contents;
    LinkOpener m_openLink;
    QPointer<QWidget> m_modal; // the modal dialog the window stands above
};

} // namespace korvanta::ui
