#pragma once
// The options dialog ("Options"): edits the harmony settings the song flow
// works with. One page, "Accompaniment"; settings without a control there
// (ApplyPKey, MinTaktBT, ModeStT, MinWT, kRecomChr, kDSFilter) pass through
// unchanged.

#include "alg/harmony/HarmonySettings.h"
#include "session/PatchNames.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace korvanta::ui {

class TfOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfOptions(QWidget* parent = nullptr);

    // Sets the controls from settings.
    void showSettings(const HarmonySettings& settings);
    // current with the values of the controls put in.
    HarmonySettings takeSettings(HarmonySettings current) const;

    // Fills the accompaniment patch list; the patch last shown stays selected.
    void setPatchNames(const PatchNames& names);
    void clearPatchNames();

    // Shows the first page with settings, modally; on OK the controls' values
    // go into settings and true comes back. The patch list is emptied again
    // either way.
    bool edit(HarmonySettings& settings, const PatchNames& names);

private:
    void showPatch();

    QTabWidget* m_pages;
    QCheckBox* m_autoKey;
    QComboBox* m_patch;
    QRadioButton* m_standard;
    QRadioButton* m_advanced;
    QCheckBox* m_dissonances;
    QCheckBox* m_unusualChords;
    QLineEdit* m_customChords;
    QCheckBox* m_saveAsDefault;
    QPushButton* m_default;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_help;
    int m_shownPatch = 0; // selected again when the list is filled after showSettings
};

} // namespace korvanta::ui
