#include "ui/WindowQuestions.h"

#include "ui/FileDialogs.h"

#include <QDir>

namespace korvanta::ui {

namespace {
constexpr std::string_view kConfirmCaption = "Confirm";
}

WindowQuestions::WindowQuestions(MessageSink& messages, FileDialogs& dialogs,
                                 ChannelChooser chooser, const PatchNames& patchNames,
                                 QWidget* parent)
    : m_messages(messages), m_dialogs(dialogs), m_chooser(std::move(chooser)),
      m_patchNames(patchNames), m_parent(parent) {}

std::optional<int> WindowQuestions::melodyChannel(std::string_view,
                                                  const std::vector<ChannelOption>& channels) {
    return m_chooser ? m_chooser(channels, m_patchNames, m_parent) : std::nullopt;
}

MessageAnswer WindowQuestions::minorKey(std::string_view question) {
    return m_messages.confirm(question, kConfirmCaption);
}

MessageAnswer WindowQuestions::saveChanges(std::string_view question) {
    return m_messages.confirm(question, kConfirmCaption);
}

std::optional<std::string> WindowQuestions::projectPathForSave(std::string_view suggested) {
    const QString name =
        QString::fromUtf8(suggested.data(), static_cast<qsizetype>(suggested.size()));
    const QString start = m_saveFolder.isEmpty() ? name : QDir(m_saveFolder).filePath(name);
    const QString chosen =
        m_dialogs.saveFileName(m_parent, start, kProjectFilter, QStringLiteral("kvt"));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

} // namespace korvanta::ui
