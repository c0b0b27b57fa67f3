#include "ui/dialogs/TfAbout.h"

#include "playback/FluidSynthOutput.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#ifndef KORVANTA_VERSION
#define KORVANTA_VERSION "unknown"
#endif

namespace korvanta::ui {

namespace {

constexpr int kMinimumWidth = 360;
constexpr int kMinimumHeight = 180;

} // namespace

QString TfAbout::versionText() {
    return QStringLiteral("Version: %1 (%2, %3)")
        .arg(QStringLiteral(KORVANTA_VERSION), QSysInfo::prettyProductName(),
             QSysInfo::currentCpuArchitecture());
}

QString TfAbout::librariesText() {
    return QStringLiteral("Qt %1, FluidSynth %2")
        .arg(QString::fromLatin1(qVersion()),
             QString::fromStdString(FluidSynthOutput::libraryVersion()));
}

TfAbout::TfAbout(const QString& picturePath, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfAbout"));
    setWindowTitle(QStringLiteral("About Korvanta"));
    auto* layout = new QVBoxLayout(this);

    const QPixmap picture(picturePath);
    m_hasPicture = !picture.isNull();
    if (m_hasPicture) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("imgAbout"));
        image->setPixmap(picture);
        image->setAlignment(Qt::AlignCenter);
        layout->addWidget(image);
    } else {
        // No picture: the program's name stands in for it.
        auto* name = new QLabel(QStringLiteral("Korvanta"), this);
        name->setObjectName(QStringLiteral("l_Name"));
        QFont big = name->font();
        big.setPointSize(big.pointSize() * 2);
        big.setBold(true);
        name->setFont(big);
        name->setAlignment(Qt::AlignCenter);
        layout->addWidget(name);
    }
    auto* blurb = new QLabel(QStringLiteral("Harmonizes a melody and accompanies it."), this);
    blurb->setAlignment(Qt::AlignCenter);
    layout->addWidget(blurb);
    auto* version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("l_Version"));
    version->setAlignment(Qt::AlignCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(version);
    auto* libraries = new QLabel(librariesText(), this);
    libraries->setObjectName(QStringLiteral("l_Libraries"));
    libraries->setAlignment(Qt::AlignCenter);
    layout->addWidget(libraries);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("b_Ok"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
}

} // namespace korvanta::ui
