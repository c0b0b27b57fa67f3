#pragma once
// The window's answers to the song flow's questions: the channel choice
// dialog, confirmations through the message sink and the save dialog.

#include "messages/MessageSink.h"
#include "messages/TuneQuestions.h"
#include "session/PatchNames.h"

#include <QString>
#include <functional>

class QWidget;

namespace korvanta::ui {

class FileDialogs;

// Picks the melody channel (the dialog TfSetChn, or a test's script).
using ChannelChooser = std::function<std::optional<int>(const std::vector<ChannelOption>&,
                                                        const PatchNames&, QWidget* parent)>;

class WindowQuestions final : public TuneQuestions {
public:
    WindowQuestions(MessageSink& messages, FileDialogs& dialogs, ChannelChooser chooser,
                    const PatchNames& patchNames, QWidget* parent);

    // The folder the save dialog starts in.
    void setSaveFolder(const QString& folder) { m_saveFolder = folder; }

    std::optional<int> melodyChannel(std::string_view question,
                                     const std::vector<ChannelOption>& channels) override;
    MessageAnswer minorKey(std::string_view question) override;
    MessageAnswer saveChanges(std::string_view question) override;
    std::optional<std::string> projectPathForSave(std::string_view suggested) override;

private:
    MessageSink& m_messages;
    FileDialogs& m_dialogs;
    ChannelChooser m_chooser;
    const PatchNames& m_patchNames;
    QWidget* m_parent;
    QString m_saveFolder;
};

} // namespace korvanta::ui
