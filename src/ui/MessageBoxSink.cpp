#include "ui/MessageBoxSink.h"

#include <QMessageBox>
#include <QString>

namespace korvanta::ui {

namespace {

QString boxText(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    s.remove(QLatin1Char('\r'));
    return s;
}

QString boxCaption(std::string_view caption) {
    return caption.empty() ? QStringLiteral("Korvanta") : boxText(caption);
}

} // namespace

void MessageBoxSink::error(std::string_view text, std::string_view caption) {
    QMessageBox::critical(m_parent, boxCaption(caption), boxText(text));
}

void MessageBoxSink::warning(std::string_view text, std::string_view caption) {
    QMessageBox::warning(m_parent, boxCaption(caption), boxText(text));
}

MessageAnswer MessageBoxSink::confirm(std::string_view text, std::string_view caption) {
    const auto button = QMessageBox::question(
        m_parent, boxCaption(caption), boxText(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (button == QMessageBox::Yes) return MessageAnswer::Yes;
    if (button == QMessageBox::No) return MessageAnswer::No;
    return MessageAnswer::Cancel;
}

void MessageBoxSink::info(std::string_view text, std::string_view caption) {
    QMessageBox::information(m_parent, boxCaption(caption), boxText(text));
}

} // namespace korvanta::ui
