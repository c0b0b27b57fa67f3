// The main window's print commands (File > Print, Print preview) and its Help
// menu: contents and topics, the bug report form and the About box.

#include "messages/MsgList.h"
#include "print/ChordsGridPainter.h"
#include "ui/TfMain.h"
#include "ui/TfMainControls.h"
#include "ui/dialogs/TfAbout.h"
#include "ui/dialogs/TfIV.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"
#include "ui/help/HelpWindow.h"
#include "ui/print/PrintDialogs.h"
#include "ui/print/TfPrintPreview.h"

#include <QAction>
#include <QPrinter>
#include <QProcess>

namespace korvanta::ui {

namespace {

// The address of the bug report form on the site.
constexpr const char* kBugReportPage = "/bug_rep_form.html";

} // namespace

void TfMain::connectPrintAndHelp() {
    Controls& c = *m_c;
    connect(c.mnFPrint, &QAction::triggered, this, [this] { printChordsGrid(false); });
    connect(c.tb_Print, &QAction::triggered, this, [this] { printChordsGrid(false); });
    connect(c.mnFPrintPrev, &QAction::triggered, this, [this] { printChordsGrid(true); });
    connect(c.tb_PrintPr, &QAction::triggered, this, [this] { printChordsGrid(true); });
    connect(c.mnContents, &QAction::triggered, this, &TfMain::mnContentsClick);
    connect(c.tb_HelpC, &QAction::triggered, this, &TfMain::mnContentsClick);
    connect(c.mnQuickTour, &QAction::triggered, this, [this] { showHelpTopic(kHelpQuickTour); });
    connect(c.mnKvtaDemos, &QAction::triggered, this, [this] { showHelpTopic(kHelpDemos); });
    connect(c.mnBRF, &QAction::triggered, this, &TfMain::mnBRFClick);
    connect(c.mnAbout, &QAction::triggered, this, &TfMain::mnAboutClick);
    setHelpContext(this, kHelpMainWindow);
}

void TfMain::createHelpWindow() {
    m_helpWindow = std::make_unique<HelpWindow>(m_folders.installPath + QStringLiteral("help/"));
    registerHelpWindow(m_helpWindow.get());
}

void TfMain::printChordsGrid(bool preview) {
    const ChordMaster* master = m_session.master();
    if (!master || !m_session.song()) return;
    PrintDialogs& dialogs = *m_printDialogs;
    QPrinter printer(QPrinter::HighResolution);
    if (!preview && !dialogs.choosePrinter(printer, this)) return;

    TfPrintPreview view(m_messages, printer, this);
    setHelpContext(&view, kHelpPrinting);
    TfIV info(this);
    setHelpContext(&info, kHelpPrinting);
    info.setTexts(QStringLiteral("Composition info"), QStringLiteral("  Enter information."),
                  QStringLiteral("Composition title:"), QStringLiteral("Author name:"));
    info.setFields({}, {});
    if (!dialogs.askCompositionInfo(info)) return;

    view.setDocument(print::gridDocumentOf(*master, info.field1().toStdString(),
                                           info.field2().toStdString(), print::shortDateToday()));
    if (preview) {
        view.setPrinterChooser(
            [&dialogs, &printer, &view] { return dialogs.choosePrinter(printer, &view); });
        dialogs.showPreview(view);
    } else
        view.printDocument();
}

void TfMain::mnContentsClick() {
    if (m_helpWindow) m_helpWindow->showContents();
}

void TfMain::showHelpTopic(int context) {
    if (m_helpWindow) m_helpWindow->showTopic(context);
}

void TfMain::mnBRFClick() {
    // The browser gets the address as its one argument; no shell in between.
    if (!m_browserProgram.isEmpty()) {
        const QString address =
            QStringLiteral("http://") + m_siteUrl + QLatin1String(kBugReportPage);
        const bool started = m_services.startProgram
                                 ? m_services.startProgram(m_browserProgram, {address})
                                 : QProcess::startDetached(m_browserProgram, {address});
        if (started) return;
    }
    m_messages.info(visitSiteText(m_siteUrl.toStdString()), "Korvanta");
}

void TfMain::mnAboutClick() {
    TfAbout about(m_folders.imagesPath + QStringLiteral("About.png"), this);
    if (m_services.showAbout)
        m_services.showAbout(about);
    else
        about.exec();
}

} // namespace korvanta::ui
