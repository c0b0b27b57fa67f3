// Building the main window: tool bar, melody area, middle bar, chords area,
// status bar and the five menus. Sizes are the design's at 96 dots per inch
// and grow with the screen's resolution.

#include "alg/song/Keys.h"
#include "ui/Named.h"
#include "ui/TfMainControls.h"
#include "ui/chords/ChordPalette.h"
#include "ui/notes/NotesView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedLayout>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace korvanta::ui {

namespace {

double dpiScale(const QWidget* w) {
    const double dpi = w->logicalDpiY();
    return dpi > 96.0 ? dpi / 96.0 : 1.0;
}

QLabel* caption(const QString& text, QWidget* parent, bool bold = false) {
    auto* label = new QLabel(text, parent);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    return label;
}

void paintField(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, kFieldColour);
    p.setColor(QPalette::Base, kFieldColour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QSlider* volumeSlider(QWidget* parent, const char* name) {
    auto* slider = named(new QSlider(Qt::Vertical, parent), name);
    // Position 0 is the top; the volume is 127 - position.
    slider->setRange(0, 127);
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setPageStep(8);
    slider->setToolTip(QStringLiteral("Volume"));
    return slider;
}

QPushButton* muteButton(QWidget* parent, const char* name) {
    auto* button = named(new QPushButton(QStringLiteral("Mute"), parent), name);
    button->setCheckable(true);
    return button;
}

// A style's icon from its one standard pixmap: the full icon loads every size
// the style has, which was a fifth of the start-up.
QIcon quickIcon(const QStyle* style, QStyle::StandardPixmap which) {
    return QIcon(style->standardPixmap(which, nullptr, nullptr));
}

// The side panel of a part (80 pixels, left of the area's view) with its bold
// title; returns the panel's column. The area's own row layout holds it.
QVBoxLayout* sidePanel(QWidget* area, const char* name, const QString& title, double scale) {
    auto* row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* side = named(new QWidget(area), name);
    side->setFixedWidth(static_cast<int>(80 * scale));
    auto* col = new QVBoxLayout(side);
    col->setContentsMargins(4, 4, 4, 4);
    col->addWidget(caption(title, side, true));
    row->addWidget(side);
    return col;
}

QLabel* patchCaption(QWidget* side, const char* name, double scale) {
    auto* label = named(caption(QString(), side), name);
    label->setFixedWidth(static_cast<int>(72 * scale));
    paintField(label);
    return label;
}

} // namespace

void TfMain::buildWindow() {
    setObjectName(QStringLiteral("TfMain"));
    setWindowTitle(QLatin1String(kTitle));
    const double s = dpiScale(this);
    resize(static_cast<int>(825 * s), static_cast<int>(554 * s));
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    setAcceptDrops(true);

    buildMenus();
    buildToolBar();

    auto* central = named(new QWidget(this), "p_Main");
    QPalette p = central->palette();
    p.setColor(QPalette::Window, kPanelColour);
    p.setColor(QPalette::WindowText, kCaptionColour);
    p.setColor(QPalette::ButtonText, kCaptionColour);
    central->setPalette(p);
    central->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildMelodyArea(), 1);
    layout->addWidget(buildMiddleBar());
    layout->addWidget(buildChordsArea());
    setCentralWidget(central);
    buildStatusBar();
    // The design's 620 pixels are the least width; the middle bar's controls
    // may need more.
    setMinimumSize(std::max(static_cast<int>(620 * s), central->minimumSizeHint().width()),
                   static_cast<int>(460 * s));
}

void TfMain::buildMenus() {
    Controls& c = *m_c;
    QMenuBar* bar = menuBar();

    c.mnFile = named(bar->addMenu(QStringLiteral("&File")), "mnFile");
    c.mnFOpen = named(c.mnFile->addAction(QStringLiteral("&Open...")), "mnFOpen");
    c.mnFOpen->setShortcut(QKeySequence::Open);
    c.mnFOpen->setStatusTip(QStringLiteral("Open a melody or a project"));
    c.mnFClose = named(c.mnFile->addAction(QStringLiteral("&Close")), "mnFClose");
    c.mnFClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    c.mnFClose->setStatusTip(QStringLiteral("Close the song"));
    c.mnFile->addSeparator();
    c.mnFSave = named(c.mnFile->addAction(QStringLiteral("&Save")), "mnFSave");
    c.mnFSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    c.mnFSave->setStatusTip(QStringLiteral("Save the song as a project"));
    c.mnFSaveAs = named(c.mnFile->addAction(QStringLiteral("Save &As ...")), "mnFSaveAs");
    c.mnFSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    c.mnFSaveAs->setStatusTip(QStringLiteral("Save the song as a project under a new name"));
    c.mnFExport = named(c.mnFile->addAction(QStringLiteral("&Export")), "mnFExport");
    c.mnFExport->setStatusTip(QStringLiteral("Export melody and accompaniment as a MIDI file"));
    c.mnFile->addSeparator();
    c.mnFPrint = named(c.mnFile->addAction(QStringLiteral("&Print")), "mnFPrint");
    c.mnFPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    c.mnFPrintPrev = named(c.mnFile->addAction(QStringLiteral("Print pre&view")), "mnFPrintPrev");
    c.mnFile->addSeparator();
    c.mnRecentFiles = named(c.mnFile->addMenu(QStringLiteral("&Recent Files")), "mnRecentFiles");
    c.mnFile->addSeparator();
    c.mnFExit = named(c.mnFile->addAction(QStringLiteral("E&xit")), "mnFExit");
    c.mnFExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));

    // Chord edits in the palette can be undone.
    c.mnEdit = named(bar->addMenu(QStringLiteral("&Edit")), "mnEdit");

    c.mnView = named(bar->addMenu(QStringLiteral("&View")), "mnView");
    c.mnView->addAction(QStringLiteral("Toolbars ..."));
    c.mnView->menuAction()->setVisible(false);

    c.mnAcc = named(bar->addMenu(QStringLiteral("&Accompaniment")), "mnAcc");
    c.mnACreate = named(c.mnAcc->addAction(QStringLiteral("&Create")), "mnACreate");
    c.mnACreate->setStatusTip(QStringLiteral("Create Accompaniment"));
    c.mnAStyle = named(c.mnAcc->addAction(QStringLiteral("&Style...")), "mnAStyle");
    c.mnAStyle->setStatusTip(QStringLiteral("Select style..."));
    QMenu* performance = named(c.mnAcc->addMenu(QStringLiteral("&Performance")), "mnAPerf");
    c.mnAPInstr = named(performance->addAction(QStringLiteral("&Instruments ...")), "mnAPInstr");
    c.mnAPArran = named(performance->addAction(QStringLiteral("&Arrangement ...")), "mnAPArran");
    c.mnAOptions = named(c.mnAcc->addAction(QStringLiteral("&Options...")), "mnAOptions");

    c.mnHarm = named(bar->addMenu(QStringLiteral("Ha&rmony")), "mnHarm");
    const char* draftNames[3] = {"mnHDraft1", "mnHDraft2", "mnHDraft3"};
    const char* draftTexts[3] = {"Draft &I", "Draft I&I", "Draft II&I"};
    for (int i = 0; i < 3; ++i) {
        c.mnHDraft[i] = named(c.mnHarm->addAction(QLatin1String(draftTexts[i])), draftNames[i]);
        c.mnHDraft[i]->setCheckable(true);
        c.mnHDraft[i]->setData(i + 1);
        // The three drafts share their access key, so each has a shortcut too.
        c.mnHDraft[i]->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + i)));
    }
    c.mnHDraft[0]->setChecked(true);
    c.mnHarm->addSeparator();
    c.mnHCreateman =
        named(c.mnHarm->addAction(QStringLiteral("Create manually ...")), "mnHCreateman");
    c.mnHCreateman->setVisible(false);

    c.mnHelp = named(bar->addMenu(QStringLiteral("&Help")), "mnHelp");
    c.mnContents = named(c.mnHelp->addAction(QStringLiteral("&Contents")), "mnContents");
    // F1 shows the help of the window it is pressed in (HelpKeyFilter).
    c.mnQuickTour = named(c.mnHelp->addAction(QStringLiteral("&Quick Tour")), "mnQuickTour");
    c.mnKvtaDemos = named(c.mnHelp->addAction(QStringLiteral("Korvanta &Demos")), "mnKvtaDemos");
    c.mnMidiSamples = named(c.mnHelp->addAction(QStringLiteral("&Midi Samples")), "mnMidiSamples");
    c.mnHelp->addSeparator();
    c.mnBRF = named(c.mnHelp->addAction(QStringLiteral("&Bugs report form")), "mnBRF");
    c.mnAbout = named(c.mnHelp->addAction(QStringLiteral("&About")), "mnAbout");
}

void TfMain::buildToolBar() {
    Controls& c = *m_c;
    c.toolBar = named(addToolBar(QStringLiteral("Standart")), "ToolBar1");
    c.toolBar->setMovable(false);
    c.toolBar->setIconSize(QSize(16, 16) * dpiScale(this));
    QStyle* st = style();
    auto add = [&](QStyle::StandardPixmap icon, const char* hint, const char* name) {
        QAction* a = c.toolBar->addAction(quickIcon(st, icon), QLatin1String(hint));
        a->setObjectName(QLatin1String(name));
        a->setToolTip(QLatin1String(hint));
        a->setStatusTip(QLatin1String(hint));
        return a;
    };
    c.tb_New = add(QStyle::SP_FileIcon, "New", "tb_New");
    c.tb_New->setVisible(false);

    c.tb_Open = named(new QToolButton(c.toolBar), "tb_Open");
    c.tb_Open->setIcon(quickIcon(st, QStyle::SP_DialogOpenButton));
    c.tb_Open->setToolTip(QStringLiteral("Open"));
    c.tb_Open->setPopupMode(QToolButton::MenuButtonPopup);
    c.pmntbOpen = named(new QMenu(c.tb_Open), "pmntbOpen");
    c.tb_Open->setMenu(c.pmntbOpen);
    c.toolBar->addWidget(c.tb_Open);

    c.tb_Save = add(QStyle::SP_DialogSaveButton, "Save", "tb_Save");
    c.tb_Export = add(QStyle::SP_ArrowForward, "Export", "tb_Export");
    c.toolBar->addSeparator();
    c.tb_Close = add(QStyle::SP_DialogCloseButton, "Close", "tb_Close");
    c.toolBar->addSeparator();
    c.tb_Print = add(QStyle::SP_FileDialogDetailedView, "Print", "tb_Print");
    c.tb_PrintPr = add(QStyle::SP_FileDialogContentsView, "Print preview", "tb_PrintPr");
    c.toolBar->addSeparator();
    c.tb_Instr = add(QStyle::SP_MediaVolume, "Instruments ...", "tb_Instr");
    c.tb_Arran = add(QStyle::SP_FileDialogListView, "Arrangement ...", "tb_Arran");
    c.toolBar->addSeparator();
    c.tb_Opt = add(QStyle::SP_FileDialogInfoView, "Options...", "tb_Opt");
    c.toolBar->addSeparator();
    c.tb_HelpC = add(QStyle::SP_DialogHelpButton, "Contents", "tb_HelpC");
}

QWidget* TfMain::buildMelodyArea() {
    Controls& c = *m_c;
    const double s = dpiScale(this);
    c.p_MelG = named(new QWidget(this), "p_MelG");
    c.p_MelG->setMinimumHeight(static_cast<int>(200 * s));
    QVBoxLayout* col = sidePanel(c.p_MelG, "p_VMel", QStringLiteral("Melody"), s);
    QWidget* side = col->parentWidget();
    c.l_MelNt = named(caption(QString(), side), "l_MelNt");
    col->addWidget(c.l_MelNt);
    col->addWidget(caption(QStringLiteral("Volume"), side));
    c.trb_VMel = volumeSlider(side, "trb_VMel");
    col->addWidget(c.trb_VMel, 1, Qt::AlignHCenter);
    c.chb_MelOff = muteButton(side, "chb_MelOff");
    col->addWidget(c.chb_MelOff);
    col->addWidget(caption(QStringLiteral("  Instrument"), side));
    c.l_MelPatch = patchCaption(side, "l_MelPatch", s);
    col->addWidget(c.l_MelPatch);
    c.l_MelPos = named(caption(QString(), side), "l_MelPos");
    col->addWidget(c.l_MelPos);

    m_notes = new NotesView(c.p_MelG);
    c.p_MelG->layout()->addWidget(m_notes);
    return c.p_MelG;
}

QWidget* TfMain::buildMiddleBar() {
    Controls& c = *m_c;
    const double s = dpiScale(this);
    auto* bar = named(new QWidget(this), "p_Middle");
    bar->setFixedHeight(static_cast<int>(49 * s));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(4);

    row->addWidget(caption(QStringLiteral("Key :"), bar));
    c.cb_Key = named(new QComboBox(bar), "cb_Key");
    c.cb_Key->addItem(QStringLiteral("Auto"));
    for (int key = 0; key < kKeyCount; ++key) {
        const std::string_view name = KeyLongName(key);
        c.cb_Key->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    c.cb_Key->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row->addWidget(c.cb_Key);
    row->addWidget(caption(QStringLiteral("Meter :"), bar));
    c.l_Meter = named(caption(QString(), bar, true), "l_Meter");
    c.l_Meter->setMinimumWidth(static_cast<int>(30 * s));
    row->addWidget(c.l_Meter);
    row->addSpacing(4);

    c.b_CreateAcc = named(new QPushButton(QStringLiteral("Create"), bar), "b_CreateAcc");
    c.b_CreateAcc->setToolTip(QStringLiteral("Create Accompaniment"));
    c.b_StyleAcc = named(new QPushButton(QStringLiteral("Style..."), bar), "b_StyleAcc");
    c.b_StyleAcc->setToolTip(QStringLiteral("Select style..."));
    c.imgStl = named(new QPushButton(QStringLiteral("Style"), bar), "imgStl");
    c.imgStl->setCheckable(true);
    c.imgStl->setFixedSize(static_cast<int>(56 * s), static_cast<int>(42 * s));
    c.imgStl->setToolTip(QStringLiteral("Click for Enable Style"));
    // Its place stays when hidden, so the bar does not jump when it shows.
    QSizePolicy keepPlace = c.imgStl->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    c.imgStl->setSizePolicy(keepPlace);
    c.imgStl->setVisible(false);
    for (QPushButton* b : {c.b_CreateAcc, c.b_StyleAcc}) {
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + static_cast<int>(20 * s));
        row->addWidget(b);
    }
    row->addWidget(c.imgStl);
    row->addSpacing(4);

    row->addWidget(caption(QStringLiteral("Tempo"), bar));
    c.t_Tempo = named(new QLineEdit(bar), "t_Tempo");
    c.t_Tempo->setFixedWidth(static_cast<int>(36 * s));
    c.t_Tempo->setReadOnly(true);
    paintField(c.t_Tempo);
    row->addWidget(c.t_Tempo);
    c.sb_Tempo = named(new QScrollBar(Qt::Horizontal, bar), "sb_Tempo");
    c.sb_Tempo->setRange(8, 255);
    c.sb_Tempo->setValue(120);
    c.sb_Tempo->setFixedWidth(static_cast<int>(70 * s));
    row->addWidget(c.sb_Tempo);
    row->addSpacing(4);

    QStyle* st = style();
    auto transport = [&](QStyle::StandardPixmap icon, const char* hint, const char* name) {
        auto* b = named(new QPushButton(quickIcon(st, icon), QString(), bar), name);
        b->setToolTip(QLatin1String(hint));
        b->setFixedSize(static_cast<int>(26 * s), static_cast<int>(26 * s));
        row->addWidget(b);
        return b;
    };
    c.b_Back = transport(QStyle::SP_MediaSkipBackward, "Back", "b_Back");
    c.b_Stop = transport(QStyle::SP_MediaStop, "Stop", "b_Stop");
    c.b_Play = transport(QStyle::SP_MediaPlay, "Play", "b_Play");
    c.b_Forw = transport(QStyle::SP_MediaSkipForward, "Forward", "b_Forw");
    c.b_Mark = transport(QStyle::SP_DialogApplyButton, "Insert Mark", "b_Mark");
    c.b_Play2 = transport(QStyle::SP_BrowserReload, "Play loop", "b_Play2");
    c.b_Play2->setCheckable(true);

    auto* loop = new QVBoxLayout;
    loop->setSpacing(1);
    c.me_From = named(new QLineEdit(bar), "me_From");
    c.me_To = named(new QLineEdit(bar), "me_To");
    c.me_FromTo = named(new QLineEdit(bar), "me_FromTo");
    c.me_FromTo->setVisible(false);
    c.me_FromTo->setProperty("tag", 0);
    for (QLineEdit* e : {c.me_From, c.me_To}) {
        // Room for the widest position text, "99999:99:999".
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("9999:99:999")) + 8);
        e->setToolTip(QStringLiteral("Loop from / to (bar:beat:tick); Enter sets the loop"));
        paintField(e);
        loop->addWidget(e);
    }
    row->addLayout(loop);
    row->addStretch(1);
    return bar;
}

QWidget* TfMain::buildChordsArea() {
    Controls& c = *m_c;
    const double s = dpiScale(this);
    c.p_ChrG = named(new QWidget(this), "p_ChrG");
    c.p_ChrG->setFixedHeight(static_cast<int>(230 * s));
    QVBoxLayout* col = sidePanel(c.p_ChrG, "p_VChr", QStringLiteral("Chords"), s);
    QWidget* side = col->parentWidget();
    c.l_ChrName = named(caption(QString(), side, true), "l_ChrName");
    c.l_ChrNotes = named(caption(QString(), side), "l_ChrNotes");
    col->addWidget(c.l_ChrName);
    col->addWidget(c.l_ChrNotes);
    col->addWidget(caption(QStringLiteral("Volume  "), side));
    c.trb_VChr = volumeSlider(side, "trb_VChr");
    col->addWidget(c.trb_VChr, 1, Qt::AlignHCenter);
    c.cse_ChrOkt = named(new QSpinBox(side), "cse_ChrOkt");
    c.cse_ChrOkt->setRange(0, 11);
    c.cse_ChrOkt->setVisible(false);
    c.chb_ChrOff = muteButton(side, "chb_ChrOff");
    col->addWidget(c.chb_ChrOff);
    col->addWidget(caption(QStringLiteral("  Instrument"), side));
    c.l_ChrPatch = patchCaption(side, "l_ChrPatch", s);
    col->addWidget(c.l_ChrPatch);

    // The chord palette's place.
    c.chordPalettePlace = named(new QWidget(c.p_ChrG), "p_ChordPalette");
    QPalette p = c.chordPalettePlace->palette();
    p.setColor(QPalette::Window, QColor(254, 245, 224));
    c.chordPalettePlace->setPalette(p);
    c.chordPalettePlace->setAutoFillBackground(true);
    auto* hint = new QLabel(QStringLiteral("The chords of every bar appear here once the "
                                           "accompaniment is created."),
                            c.chordPalettePlace);
    hint->setObjectName(QStringLiteral("l_ChordsHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    QPalette hintColours = hint->palette();
    hintColours.setColor(QPalette::WindowText, QColor(128, 128, 128));
    hint->setPalette(hintColours);
    // The hint until the palette has columns; the palette then.
    auto* placeLayout = new QStackedLayout(c.chordPalettePlace);
    placeLayout->addWidget(hint);
    m_palette = new ChordPalette(m_session, *m_notes, c.chordPalettePlace);
    placeLayout->addWidget(m_palette);
    c.paletteStack = placeLayout;
    c.p_ChrG->layout()->addWidget(c.chordPalettePlace);
    return c.p_ChrG;
}

void TfMain::buildStatusBar() {
    Controls& c = *m_c;
    const double s = dpiScale(this);
    c.stbStatus = named(statusBar(), "stbStatus");
    c.stbStatus->setFixedHeight(static_cast<int>(18 * s) + 4);
    const int widths[3] = {300, 70, 50};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(c.stbStatus);
        panel->setObjectName(QStringLiteral("stbPanel%1").arg(i));
        panel->setMinimumWidth(static_cast<int>(widths[i] * s));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        c.stbPanel[i] = panel;
        // Menu hints replace the first panel for a moment; the others stay.
        if (i == 0)
            c.stbStatus->addWidget(panel, 1);
        else
            c.stbStatus->addPermanentWidget(panel);
    }
    c.stbPanel[0]->setText(QLatin1String(kHelpPanelText));
}

} // namespace korvanta::ui
