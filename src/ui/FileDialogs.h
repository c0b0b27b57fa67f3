#pragma once
// The open and save dialogs behind a small interface, so tests choose files
// without a person. Filters are in Qt's form ("Midi Files (*.mid)").

#include <QString>

class QWidget;

namespace korvanta::ui {

inline const QString kOpenSongFilter =
    QStringLiteral("Midi Files (*.mid);;Korvanta Project files (*.kvt)");
inline const QString kProjectFilter = QStringLiteral("Korvanta Project files (*.kvt)");
inline const QString kMidiFilter = QStringLiteral("Midi Files (*.mid)");

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The file chosen to open, or an empty text when the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
    // The file chosen to save under (the dialog asks before replacing a file),
    // or an empty text when the user cancelled. suggested is a folder and a
    // file name; defaultSuffix ("kvt", "mid") is added to a name without one.
    virtual QString saveFileName(QWidget* parent, const QString& suggested, const QString& filter,
                                 const QString& defaultSuffix) = 0;

protected:
    FileDialogs() = default;
    FileDialogs(const FileDialogs&) = default;
    FileDialogs& operator=(const FileDialogs&) = default;
};

// The platform's dialogs.
class QtFileDialogs final : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const QString& folder, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& suggested, const QString& filter,
                         const QString& defaultSuffix) override;
};

} // namespace korvanta::ui
