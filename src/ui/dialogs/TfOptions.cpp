#include "ui/dialogs/TfOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace korvanta::ui {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The custom chord count as the edit shows it: two places, right-aligned.
QString customChordsText(int count) {
    return QString::asprintf("%2d", std::clamp(count, 0, 99));
}

// The edit's text read as a decimal number; an empty edit counts as 0.
int customChordsValue(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) return 0;
    bool ok = false;
    const int value = digits.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

TfOptions::TfOptions(QWidget* parent)
    : QDialog(parent), m_pages(named(new QTabWidget(this), "pgc_Options")) {
    setObjectName(QStringLiteral("TfOptions"));
    setWindowTitle(QStringLiteral("Options"));

    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("ts_Accompaniment"));
    m_autoKey = named(new QCheckBox(QStringLiteral("&Key Auto Recognition"), page), "chb_OnGetTon");
    m_patch = named(new QComboBox(page), "cb_DAP");
    m_patch->setMaxVisibleItems(16);
    auto* patchLabel = new QLabel(QStringLiteral("Default Accompaniment &Patch"), page);
    patchLabel->setBuddy(m_patch);

    auto* method = named(new QGroupBox(QStringLiteral("Harmonization Method"), page), "gb_Method");
    m_standard = named(new QRadioButton(QStringLiteral("&Standard"), method), "rb_Standart");
    m_advanced = named(new QRadioButton(QStringLiteral("&Advanced"), method), "rb_Advanced");
    auto* methodLayout = new QVBoxLayout(method);
    methodLayout->addWidget(m_standard);
    methodLayout->addWidget(m_advanced);

    m_dissonances =
        named(new QCheckBox(QStringLiteral("Limit Number of &Dissonances"), page), "chb_DSF");
    m_unusualChords =
        named(new QCheckBox(QStringLiteral("Limit Number of &Unusual Chords"), page), "chb_CSF");
    m_customChords = named(new QLineEdit(page), "mt_NCC");
    // Two places of digits; a leading blank is what "%2d" shows for one digit.
    m_customChords->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^ ?[0-9]{0,2}$")), m_customChords));
    m_customChords->setMaxLength(2);
    m_customChords->setMaximumWidth(
        m_customChords->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 16);
    auto* customChordsLabel = new QLabel(QStringLiteral("&Max Number of Custom Chords"), page);
    customChordsLabel->setBuddy(m_customChords);
    m_saveAsDefault = named(new QCheckBox(QStringLiteral("Sa&ve as Default"), page), "cb_setdopt");

    auto* pageLayout = new QGridLayout(page);
    pageLayout->addWidget(m_autoKey, 0, 0, 1, 2);
    pageLayout->addWidget(patchLabel, 1, 0);
    pageLayout->addWidget(m_patch, 1, 1);
    pageLayout->addWidget(method, 2, 0, 1, 2);
    pageLayout->addWidget(m_dissonances, 3, 0, 1, 2);
    pageLayout->addWidget(m_unusualChords, 4, 0, 1, 2);
    pageLayout->addWidget(customChordsLabel, 5, 0);
    pageLayout->addWidget(m_customChords, 5, 1, Qt::AlignLeft);
    pageLayout->addWidget(m_saveAsDefault, 6, 0, 1, 2);
    pageLayout->setRowStretch(7, 1);
    m_pages->addTab(page, QStringLiteral("Accompaniment"));

    m_default = named(new QPushButton(QStringLiteral("De&fault"), this), "b_Default");
    m_ok = named(new QPushButton(QStringLiteral("OK"), this), "b_OK");
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "b_Cancel");
    m_help = named(new QPushButton(QStringLiteral("Help"), this), "b_Help");
    m_help->setEnabled(false); // no help pages yet
    m_ok->setDefault(true);    // Enter; Escape rejects as in every dialog
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_default, &QPushButton::clicked, this,
            [this] { showSettings(kBuiltInHarmonySettings); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_default);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
}

void TfOptions::showSettings(const HarmonySettings& settings) {
    m_autoKey->setChecked(settings.AutoKey);
    m_shownPatch = settings.DefAccPatch;
    showPatch();
    if (settings.TSYmode != kTSYmodeStandard)
        m_advanced->setChecked(true);
    else
        m_standard->setChecked(true);
    m_dissonances->setChecked(settings.DSFilter);
    m_unusualChords->setChecked(settings.CSFilter);
    m_customChords->setText(customChordsText(settings.MaxNumCustomChords));
    m_saveAsDefault->setChecked(settings.AutoSaveOpt);
}

HarmonySettings TfOptions::takeSettings(HarmonySettings current) const {
    current.AutoKey = m_autoKey->isChecked();
    // Without a list nothing was offered, so the patch stays as it was.
    if (m_patch->currentIndex() >= 0)
        current.DefAccPatch =
            static_cast<std::uint8_t>(std::clamp(m_patch->currentIndex(), 0, kDefAccPatchLimit));
    current.TSYmode =
        static_cast<std::uint8_t>(m_standard->isChecked() ? kTSYmodeStandard : kTSYmodeAdvanced);
    current.DSFilter = m_dissonances->isChecked();
    current.CSFilter = m_unusualChords->isChecked();
    current.MaxNumCustomChords = static_cast<std::int16_t>(
        std::clamp(customChordsValue(m_customChords->text()), 0, kMaxNumCustomChordsLimit));
    current.AutoSaveOpt = m_saveAsDefault->isChecked();
    return current;
}

void TfOptions::setPatchNames(const PatchNames& names) {
    m_patch->clear();
    QStringList items;
    items.reserve(kPatchCount);
    for (const std::string& name : names)
        items << QString::fromStdString(name);
    m_patch->addItems(items);
    showPatch();
}

void TfOptions::clearPatchNames() {
    m_patch->clear();
}

void TfOptions::showPatch() {
    if (m_patch->count() == 0) return;
    m_patch->setCurrentIndex(std::clamp(m_shownPatch, 0, m_patch->count() - 1));
}

bool TfOptions::edit(HarmonySettings& settings, const PatchNames& names) {
    m_pages->setCurrentIndex(0);
    setPatchNames(names);
    showSettings(settings);
    const bool accepted = exec() == QDialog::Accepted;
    if (accepted) settings = takeSettings(settings);
    clearPatchNames();
    return accepted;
}

} // namespace korvanta::ui
