#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace korvanta::ui {

QString QtFileDialogs::openFileName(QWidget* parent, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), folder, filter);
}

QString QtFileDialogs::saveFileName(QWidget* parent, const QString& suggested,
                                    const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, QStringLiteral("Save As"), suggested, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace korvanta::ui
