#pragma once
// The dialogs of printing behind a small interface, so tests print and
// preview without a person: the system's print dialog, the composition info
// dialog and the modal preview.

class QPrinter;
class QWidget;

namespace korvanta::ui {

class TfIV;
class TfPrintPreview;

class PrintDialogs {
public:
    virtual ~PrintDialogs() = default;
    // The print dialog on printer; false when the user cancelled.
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
    // Shows the filled-in composition info dialog modally; true on "Ok".
    virtual bool askCompositionInfo(TfIV& dialog) = 0;
    // Shows the preview modally until the user closes it.
    virtual void showPreview(TfPrintPreview& preview) = 0;

protected:
    PrintDialogs() = default;
    PrintDialogs(const PrintDialogs&) = default;
    PrintDialogs& operator=(const PrintDialogs&) = default;
};

// The platform's dialogs.
class QtPrintDialogs final : public PrintDialogs {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override;
    bool askCompositionInfo(TfIV& dialog) override;
    void showPreview(TfPrintPreview& preview) override;
};

} // namespace korvanta::ui
