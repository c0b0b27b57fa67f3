#include "ui/print/PrintDialogs.h"

#include "ui/dialogs/TfIV.h"
#include "ui/print/TfPrintPreview.h"

#include <QPrintDialog>

namespace korvanta::ui {

bool QtPrintDialogs::choosePrinter(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("dfPrintDialog"));
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrintDialogs::askCompositionInfo(TfIV& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

void QtPrintDialogs::showPreview(TfPrintPreview& preview) {
    preview.exec();
}

} // namespace korvanta::ui
