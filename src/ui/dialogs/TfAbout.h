#pragma once
// TfAbout: the About box. Our picture (from the images folder), the program's
// version from the build and the platform it runs on, and the versions of Qt
// and the synth library. Without the picture it still shows its texts at a
// readable size.

#include <QDialog>

class QLabel;

namespace korvanta::ui {

class TfAbout : public QDialog {
    Q_OBJECT
public:
    // picturePath: the About picture; a missing or unreadable one is left out.
    explicit TfAbout(const QString& picturePath, QWidget* parent = nullptr);

    // "Version: 0.1.0 (Linux, x86_64)".
    static QString versionText();
    // "Qt 6.4.2, FluidSynth 2.3.1".
    static QString librariesText();

    bool hasPicture() const { return m_hasPicture; }

private:
    bool m_hasPicture = false;
};

} // namespace korvanta::ui
