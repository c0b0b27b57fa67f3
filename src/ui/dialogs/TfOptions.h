#pragma once
// The options dialog ("Options"): edits the harmony settings the song flow
// works with and the output the song plays through. Page "Accompaniment":
// settings without a control there (ApplyPKey, MinTaktBT, ModeStT, MinWT,
// kRecomChr, kDSFilter) pass through unchanged. Page "Output": the built-in
// synth or a system MIDI port, and the synth's SoundFont.

#include "alg/harmony/HarmonySettings.h"
#include "playback/FluidSynthOutput.h"
#include "session/PatchNames.h"
#include "settings/SettingsStore.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace korvanta::ui {

class TfOptions : public QDialog {
    Q_OBJECT
public:
    // Asks for a SoundFont file, starting at current; an empty text when the
    // user cancelled. Replaceable so tests answer without a person.
    using SoundFontChooser = std::function<QString(QWidget* parent, const QString& current)>;

    explicit TfOptions(QWidget* parent = nullptr);

    // Sets the controls from settings.
    void showSettings(const HarmonySettings& settings);
    // current with the values of the controls put in.
    HarmonySettings takeSettings(HarmonySettings current) const;

    // Fills the accompaniment patch list; the patch last shown stays selected.
    void setPatchNames(const PatchNames& names);
    void clearPatchNames();

    // The ports to offer (the main window passes RtMidiOutput::portNames().names;
    // tests a list). The port last shown stays selected, listed as not
    // connected when it is not among them.
    void setOutputPorts(const QStringList& ports);
    void showOutput(const OutputChoice& choice);
    // The SoundFont is kept even when a port is chosen, so switching back to
    // the synth later finds it again.
    OutputChoice takeOutput() const;

    // The synth's options the SoundFont state is judged with (its fallback
    // SoundFonts); the edit's file takes the place of options.soundFont.
    void setSynthOptions(FluidSynthOptions options);
    void setSoundFontChooser(SoundFontChooser chooser);

    // Shows the first page with settings and output, modally; on OK the
    // controls' values go into both and true comes back. The patch list is
    // emptied again either way.
    bool edit(HarmonySettings& settings, OutputChoice& output, const PatchNames& names,
              const QStringList& ports);
    // The same without the output: its page is shown disabled.
    bool edit(HarmonySettings& settings, const PatchNames& names);

private:
    void showPatch();
    void fillOutputList();
    void updateSoundFontControls();
    void updateSoundFontState();
    void browseSoundFont();
    bool run(HarmonySettings& settings, OutputChoice* output, const PatchNames& names);

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

    QWidget* m_outputPage;
    QComboBox* m_output;
    QLabel* m_soundFontLabel;
    QLineEdit* m_soundFont;
    QPushButton* m_browseSoundFont;
    QLabel* m_soundFontState;
    QStringList m_ports;
    QString m_shownPort; // listed and selected again when the ports change
    FluidSynthOptions m_synthOptions;
    SoundFontChooser m_chooseSoundFont;
};

} // namespace korvanta::ui
