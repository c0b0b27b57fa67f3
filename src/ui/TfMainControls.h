#pragma once
// The main window's controls, shared by the files that build and drive it.
// Names follow the window's design (b_ buttons, cb_ combo boxes, chb_ check
// buttons, trb_ sliders, l_ labels, me_ edits, mn menu items, tb_ toolbar
// buttons, p_ panels); each widget carries its name as object name.

#include "ui/TfMain.h"

#include <QColor>
#include <cstdint>

class QListWidget;
class QStackedLayout;

namespace korvanta::ui {

// The window's colours.
inline const QColor kPanelColour(210, 193, 174);
inline const QColor kCaptionColour(35, 71, 71);
inline const QColor kFieldColour(218, 204, 188);

// Limits of the window's controls.
constexpr std::int32_t kMicrosecondsPerMinute = 60000000;
constexpr int kSlowestTempo = 8; // beats a minute, the tempo bar's range
constexpr int kFastestTempo = 255;
constexpr int kLowestChordOctaveShown = 4; // the chord octave control's floor

struct TfMain::Controls {
    // Menus and their items.
    QMenu* mnFile = nullptr;
    QMenu* mnEdit = nullptr;
    QMenu* mnView = nullptr;
    QMenu* mnAcc = nullptr;
    QMenu* mnHarm = nullptr;
    QMenu* mnHelp = nullptr;
    QMenu* mnRecentFiles = nullptr;
    QMenu* pmntbOpen = nullptr;
    QAction* mnFOpen = nullptr;
    QAction* mnFClose = nullptr;
    QAction* mnFSave = nullptr;
    QAction* mnFSaveAs = nullptr;
    QAction* mnFExport = nullptr;
    QAction* mnFPrint = nullptr;
    QAction* mnFPrintPrev = nullptr;
    QAction* mnFExit = nullptr;
    QAction* mnACreate = nullptr;
    QAction* mnAStyle = nullptr;
    QAction* mnAPInstr = nullptr;
    QAction* mnAPArran = nullptr;
    QAction* mnAOptions = nullptr;
    QAction* mnHDraft[3] = {nullptr, nullptr, nullptr};
    QAction* mnHCreateman = nullptr;
    QAction* mnContents = nullptr;
    QAction* mnQuickTour = nullptr;
    QAction* mnKvtaDemos = nullptr;
    QAction* mnMidiSamples = nullptr;
    QAction* mnBRF = nullptr;
    QAction* mnAbout = nullptr;

    // Tool bar.
    QToolBar* toolBar = nullptr;
    QAction* tb_New = nullptr;
    QToolButton* tb_Open = nullptr;
    QAction* tb_Save = nullptr;
    QAction* tb_Export = nullptr;
    QAction* tb_Close = nullptr;
    QAction* tb_Print = nullptr;
    QAction* tb_PrintPr = nullptr;
    QAction* tb_Instr = nullptr;
    QAction* tb_Arran = nullptr;
    QAction* tb_Opt = nullptr;
    QAction* tb_HelpC = nullptr;

    // Melody area.
    QWidget* p_MelG = nullptr;
    QLabel* l_MelNt = nullptr;
    QLabel* l_MelPos = nullptr;
    QLabel* l_MelPatch = nullptr;
    QSlider* trb_VMel = nullptr;
    QPushButton* chb_MelOff = nullptr;

    // Middle bar.
    QComboBox* cb_Key = nullptr;
    QLabel* l_Meter = nullptr;
    QPushButton* b_CreateAcc = nullptr;
    QPushButton* b_StyleAcc = nullptr;
    QPushButton* imgStl = nullptr;
    QLineEdit* t_Tempo = nullptr;
    QScrollBar* sb_Tempo = nullptr;
    QPushButton* b_Back = nullptr;
    QPushButton* b_Stop = nullptr;
    QPushButton* b_Play = nullptr;
    QPushButton* b_Forw = nullptr;
    QPushButton* b_Mark = nullptr;
    QPushButton* b_Play2 = nullptr;
    QLineEdit* me_From = nullptr;
    QLineEdit* me_To = nullptr;
    QLineEdit* me_FromTo = nullptr;

    // Chords area.
    QWidget* p_ChrG = nullptr;
    QWidget* chordPalettePlace = nullptr;
    QStackedLayout* paletteStack = nullptr; // the hint, or the palette
    QLabel* l_ChrName = nullptr;
    QLabel* l_ChrNotes = nullptr;
    QLabel* l_ChrPatch = nullptr;
    QSlider* trb_VChr = nullptr;
    QSpinBox* cse_ChrOkt = nullptr;
    QListWidget* cb_Patchs = nullptr; // the pop-up patch list
    QPushButton* chb_ChrOff = nullptr;

    // Status bar panels.
    QStatusBar* stbStatus = nullptr;
    QLabel* stbPanel[3] = {nullptr, nullptr, nullptr};
};

} // namespace korvanta::ui
