#include "ui/help/HelpWindow.h"

#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

namespace korvanta::ui {

namespace {

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

QString asParagraph(const QString& text) {
    return QStringLiteral("<html><body><p>%1</p></body></html>").arg(text.toHtmlEscaped());
}

// The browser reads pages itself; a page that is not there (or is no
// page) becomes a sentence, so the window never stands empty.
class HelpBrowser final : public QTextBrowser {
public:
    HelpBrowser(const QString& folder, QWidget* parent) : QTextBrowser(parent), m_folder(folder) {}

    QVariant loadResource(int type, const QUrl& name) override {
        if (type != QTextDocument::HtmlResource || !name.isLocalFile())
            return QTextBrowser::loadResource(type, name);
        const QFileInfo page(name.toLocalFile());
        if (!QFileInfo(m_folder).isDir())
            return asParagraph(HelpWindow::missingFolderText(m_folder));
        if (!page.isFile())
            return asParagraph(HelpWindow::missingPageText(page.fileName(), m_folder));
        if (page.size() > HelpWindow::kMaxPageBytes)
            return asParagraph(QStringLiteral("The help page %1 is too large to show.")
                                   .arg(QDir::toNativeSeparators(page.filePath())));
        return QTextBrowser::loadResource(type, name);
    }

private:
    QString m_folder;
};

} // namespace

QString HelpWindow::missingFolderText(const QString& folder) {
    return QStringLiteral("The help pages were not found in %1.")
        .arg(QDir::toNativeSeparators(folder));
}

QString HelpWindow::missingPageText(const QString& page, const QString& folder) {
    return QStringLiteral("The help page %1 was not found in %2.")
        .arg(page, QDir::toNativeSeparators(folder));
}

HelpWindow::HelpWindow(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_folder(withSlash(QDir::cleanPath(QDir(folder).absolutePath()))),
      m_browser(new HelpBrowser(m_folder, this)),
      m_back(new QPushButton(QStringLiteral("&Back"), this)),
      m_forward(new QPushButton(QStringLiteral("&Forward"), this)),
      m_contents(new QPushButton(QStringLiteral("&Contents"), this)),
      m_openLink([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QLatin1String(kCaption));
    setHelpContext(this, kHelpContents);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Every link comes to followLink: pages stay here, the rest goes out.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);

    m_back->setObjectName(QStringLiteral("b_Back"));
    m_back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_back->setToolTip(QStringLiteral("The page shown before (Alt+Left)"));
    m_back->setEnabled(false);
    m_forward->setObjectName(QStringLiteral("b_Forward"));
    m_forward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    m_forward->setToolTip(QStringLiteral("The page shown after (Alt+Right)"));
    m_forward->setEnabled(false);
    m_contents->setObjectName(QStringLiteral("b_Contents"));
    m_contents->setToolTip(QStringLiteral("The list of all help topics"));
    for (QPushButton* b : {m_back, m_forward, m_contents})
        b->setAutoDefault(false);

    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addWidget(m_contents);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser, 1);
    // Room for the pages' pictures, which are up to 800 pixels wide.
    resize(880, 640);
}

void HelpWindow::setLinkOpener(LinkOpener opener) {
    m_openLink = std::move(opener);
}

void HelpWindow::showContents() {
    showTopic(kHelpContents);
}

void HelpWindow::showTopic(int context) {
    openPage(helpTopicFile(context));
    present();
}

void HelpWindow::openPage(const QString& file) {
    const QUrl page = QUrl::fromLocalFile(m_folder + file);
    // The same page again: back to its top, and no second history entry.
    if (m_browser->source() == page) {
        m_browser->verticalScrollBar()->setValue(0);
        return;
    }
    m_browser->setSource(page);
}

void HelpWindow::followLink(const QUrl& link) {
    const QUrl target = m_browser->source().resolved(link);
    if (target.isLocalFile() || target.scheme().isEmpty()) {
        m_browser->setSource(target);
        return;
    }
    if (m_openLink) (void)m_openLink(target);
}

void HelpWindow::present() {
    stayAbove(QApplication::activeModalWidget());
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void HelpWindow::stayAbove(QWidget* modal) {
    if (modal) modal = modal->window();
    if (modal == this || isAncestorOf(modal)) modal = nullptr;
    if (modal == m_modal) return;
    releaseModal();
    if (!modal) return;
    // A window is blocked by a modal dialog unless the dialog is its
    // transient parent: the dialog then stands for the window's owner.
    modal->winId();
    winId();
    windowHandle()->setTransientParent(modal->windowHandle());
    modal->installEventFilter(this);
    m_modal = modal;
}

void HelpWindow::releaseModal() {
    if (!m_modal) return;
    m_modal->removeEventFilter(this);
    m_modal = nullptr;
    if (QWindow* handle = windowHandle()) {
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        handle->setTransientParent(owner ? owner->windowHandle() : nullptr);
    }
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_modal && event->type() == QEvent::Hide) releaseModal();
    return QWidget::eventFilter(watched, event);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace korvanta::ui
