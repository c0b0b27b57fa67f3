#pragma once
// The instrument and mixer dialog ("Patches"): a tool window that stays on top
// and shows, for each of the 16 output channels, its instrument (General MIDI
// program), mute and solo switches and volume, each editable in place.
//
// The dialog only reads the mix. Every edit goes out through MixEdits, so the
// main window can route the melody and chord parts through its own side-panel
// handlers (which record the change in the song and keep their controls in
// step) and the other parts straight into the mix. GUI thread only.

#include "alg/song/ChannelMixState.h"
#include "session/PatchNames.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QSpinBox;
class QTableWidget;

namespace korvanta::ui {

// Where the dialog's edits go: the main window, or a fake in tests.
class MixEdits {
public:
    virtual ~MixEdits() = default;
    virtual void setProgram(int part, int program) = 0;
    virtual void setMuted(int part, bool muted) = 0;
    virtual void setSoloed(int part, bool soloed) = 0;
    virtual void setVolume(int part, int volume) = 0;
};

class TfPatchs : public QDialog {
    Q_OBJECT
public:
    // The grid's columns.
    enum Column { kNumber = 0, kPatch, kMute, kSolo, kVolume, kColumnCount };
    static constexpr int kDrumsChannel = 9;
    static constexpr int kRowHeight = 18;

    explicit TfPatchs(MixEdits& edits, QWidget* parent = nullptr);

    // Shows the mix of the open song with the names: fills every row and
    // shows the window. mix must outlive the dialog or the next detach().
    void open(const ChannelMixState& mix, const PatchNames& names);
    // The song closed: editors hidden, rows emptied, the grid disabled, and
    // the mix no longer referred to.
    void detach();
    // The main window changed the mix: shows it again. An open editor keeps
    // what is being typed unless its channel's value changed underneath it.
    void refresh();

    bool attached() const { return m_mix != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRow(int channel);
    void setCellText(int channel, int column, const QString& text);
    QString patchName(int channel) const;
    // What a click, Enter, F2 or Space on a cell does.
    void activateCell(int channel, int column);
    void hideEditors();
    // Closes the editors and gives the keyboard back to the grid.
    void closeEditors();
    void placeEditor(QWidget* editor, int channel, int column);
    void patchChosen(int index);
    void volumeChanged(int volume);

    MixEdits& m_edits;
    const ChannelMixState* m_mix = nullptr;
    QStringList m_names;
    QTableWidget* m_grid;
    QComboBox* m_patch;
    QSpinBox* m_volume;
    int m_editedChannel = -1; // the channel the open editor belongs to
};

} // namespace korvanta::ui
