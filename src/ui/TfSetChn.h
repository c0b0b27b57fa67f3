#pragma once
// The melody channel choice, shown when single-voiced tunes were found on
// several channels: one list item per channel, "n - instrument" (or
// "n - Channel" without a program change), the first one preselected.

#include "messages/TuneQuestions.h"
#include "session/PatchNames.h"

#include <QDialog>
#include <optional>
#include <vector>

class QListWidget;

namespace korvanta::ui {

class TfSetChn : public QDialog {
    Q_OBJECT
public:
    TfSetChn(const std::vector<ChannelOption>& channels, const PatchNames& patchNames,
             QWidget* parent = nullptr);

    // The channel of the selected item, or nothing when none is selected.
    std::optional<int> selectedChannel() const;

    static QString itemText(const ChannelOption& channel, const PatchNames& patchNames);
    // Shows the dialog modally; the chosen channel, or nothing for Cancel.
    static std::optional<int> choose(const std::vector<ChannelOption>& channels,
                                     const PatchNames& patchNames, QWidget* parent);

private:
    QListWidget* m_list;
    std::vector<int> m_channels;
};

} // namespace korvanta::ui
