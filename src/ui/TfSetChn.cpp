#include "ui/TfSetChn.h"

#include "messages/MsgList.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvanta::ui {

QString TfSetChn::itemText(const ChannelOption& channel, const PatchNames& patchNames) {
    QString text = QString::number(channel.channel);
    if (channel.program >= 0 && channel.program < kPatchCount)
        return text + QStringLiteral(" - ") +
               QString::fromStdString(patchNames[static_cast<std::size_t>(channel.program)]);
    return text + QString::fromUtf8(kChannelWithoutProgram.data(),
                                    static_cast<qsizetype>(kChannelWithoutProgram.size()));
}

TfSetChn::TfSetChn(const std::vector<ChannelOption>& channels, const PatchNames& patchNames,
                   QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)) {
    setObjectName(QStringLiteral("TfSetChn"));
    setWindowTitle(QString::fromUtf8(kSelectChannelCaption.data(),
                                     static_cast<qsizetype>(kSelectChannelCaption.size())));
    auto* text = new QLabel(QString::fromUtf8(kSelectChannelText.data(),
                                              static_cast<qsizetype>(kSelectChannelText.size())),
                            this);
    text->setWordWrap(true);
    m_list->setObjectName(QStringLiteral("cb_CM"));
    for (const ChannelOption& channel : channels) {
        m_list->addItem(itemText(channel, patchNames));
        m_channels.push_back(channel.channel);
    }
    if (!m_channels.empty()) m_list->setCurrentRow(0);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("b_Ok"));
    cancel->setObjectName(QStringLiteral("b_Cancel"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

std::optional<int> TfSetChn::selectedChannel() const {
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_channels.size())) return std::nullopt;
    return m_channels[static_cast<std::size_t>(row)];
}

std::optional<int> TfSetChn::choose(const std::vector<ChannelOption>& channels,
                                    const PatchNames& patchNames, QWidget* parent) {
    TfSetChn dialog(channels, patchNames, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedChannel();
}

} // namespace korvanta::ui
