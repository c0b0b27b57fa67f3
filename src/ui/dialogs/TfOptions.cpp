#include "ui/dialogs/TfOptions.h"

#include "ui/Named.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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
#include <filesystem>
#include <optional>
#include <utility>

namespace korvanta::ui {

namespace {

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

const QString kBuiltInSynth = QStringLiteral("Built-in synthesizer");
const QString kNotConnected = QStringLiteral(" (not connected)");

// Paths as the file system spells them (no conversion that could throw).
std::filesystem::path toPath(const QString& text) {
#if defined(Q_OS_WIN)
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

QString fromPath(const std::filesystem::path& path) {
#if defined(Q_OS_WIN)
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

QString askForSoundFont(QWidget* parent, const QString& current) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("SoundFont"), current,
                                        QStringLiteral("SoundFont files (*.sf2 *.sf3)"));
}

} // namespace

TfOptions::TfOptions(QWidget* parent)
    : QDialog(parent), m_pages(named(new QTabWidget(this), "pgc_Options")),
      m_chooseSoundFont(&askForSoundFont) {
    setObjectName(QStringLiteral("TfOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setHelpContext(this, kHelpOptions);

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

    m_outputPage = new QWidget(m_pages);
    m_outputPage->setObjectName(QStringLiteral("ts_Output"));
    m_output = named(new QComboBox(m_outputPage), "cb_Output");
    m_output->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* outputLabel = new QLabel(QStringLiteral("MIDI &Output"), m_outputPage);
    outputLabel->setBuddy(m_output);
    m_soundFont = named(new QLineEdit(m_outputPage), "e_SoundFont");
    m_soundFont->setPlaceholderText(QStringLiteral("The system's General MIDI SoundFont"));
    m_soundFontLabel = new QLabel(QStringLiteral("Sou&ndFont"), m_outputPage);
    m_soundFontLabel->setBuddy(m_soundFont);
    m_browseSoundFont =
        named(new QPushButton(QStringLiteral("&Browse..."), m_outputPage), "b_SoundFont");
    m_soundFontState = named(new QLabel(m_outputPage), "l_SoundFontState");
    m_soundFontState->setWordWrap(true);
    connect(m_output, &QComboBox::currentIndexChanged, this, [this] { updateSoundFontControls(); });
    connect(m_soundFont, &QLineEdit::textChanged, this, [this] { updateSoundFontState(); });
    connect(m_browseSoundFont, &QPushButton::clicked, this, [this] { browseSoundFont(); });

    auto* outputLayout = new QGridLayout(m_outputPage);
    outputLayout->addWidget(outputLabel, 0, 0);
    outputLayout->addWidget(m_output, 0, 1, 1, 2);
    outputLayout->addWidget(m_soundFontLabel, 1, 0);
    outputLayout->addWidget(m_soundFont, 1, 1);
    outputLayout->addWidget(m_browseSoundFont, 1, 2);
    outputLayout->addWidget(m_soundFontState, 2, 1, 1, 2);
    outputLayout->setColumnStretch(1, 1);
    outputLayout->setRowStretch(3, 1);
    m_pages->addTab(m_outputPage, QStringLiteral("Output"));

    m_default = named(new QPushButton(QStringLiteral("De&fault"), this), "b_Default");
    m_ok = named(new QPushButton(QStringLiteral("OK"), this), "b_OK");
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "b_Cancel");
    m_help = named(new QPushButton(QStringLiteral("Help"), this), "b_Help");
    connectHelpButton(m_help, kHelpOptions);
    m_ok->setDefault(true); // Enter; Escape rejects as in every dialog
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

    fillOutputList();
    updateSoundFontState();
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

void TfOptions::setOutputPorts(const QStringList& ports) {
    m_ports = ports;
    fillOutputList();
}

void TfOptions::showOutput(const OutputChoice& choice) {
    m_shownPort = choice.port;
    fillOutputList();
    m_soundFont->setText(choice.soundFont);
    updateSoundFontState();
}

OutputChoice TfOptions::takeOutput() const {
    OutputChoice choice;
    choice.port = m_output->currentIndex() >= 0 ? m_output->currentData().toString() : m_shownPort;
    choice.soundFont = m_soundFont->text().trimmed();
    return choice;
}

void TfOptions::setSynthOptions(FluidSynthOptions options) {
    m_synthOptions = std::move(options);
    updateSoundFontState();
}

void TfOptions::setSoundFontChooser(SoundFontChooser chooser) {
    m_chooseSoundFont = std::move(chooser);
}

void TfOptions::fillOutputList() {
    m_output->clear();
    m_output->addItem(kBuiltInSynth, QString());
    for (const QString& port : m_ports)
        if (!port.isEmpty()) m_output->addItem(port, port); // an empty name would be the synth
    int selected = 0;
    if (!m_shownPort.isEmpty()) {
        selected = m_output->findData(m_shownPort);
        // Kept in the list, so OK does not lose a port that is only unplugged.
        if (selected < 0) {
            m_output->addItem(m_shownPort + kNotConnected, m_shownPort);
            selected = m_output->count() - 1;
        }
    }
    m_output->setCurrentIndex(selected);
    updateSoundFontControls();
}

void TfOptions::updateSoundFontControls() {
    const bool synth = m_output->currentIndex() <= 0;
    m_soundFontLabel->setEnabled(synth);
    m_soundFont->setEnabled(synth);
    m_browseSoundFont->setEnabled(synth);
    m_soundFontState->setEnabled(synth);
}

void TfOptions::updateSoundFontState() {
    FluidSynthOptions options = m_synthOptions;
    options.soundFont = toPath(m_soundFont->text().trimmed());
    const std::optional<std::filesystem::path> found = FluidSynthOutput::findSoundFont(options);
    m_soundFontState->setText(
        found ? QStringLiteral("Found: ") + QDir::toNativeSeparators(fromPath(*found))
              : QStringLiteral("Not found: the built-in synthesizer will be silent"));
}

void TfOptions::browseSoundFont() {
    if (!m_chooseSoundFont) return;
    const QString chosen = m_chooseSoundFont(this, m_soundFont->text().trimmed());
    if (!chosen.isEmpty()) m_soundFont->setText(QDir::toNativeSeparators(chosen));
}

bool TfOptions::edit(HarmonySettings& settings, OutputChoice& output, const PatchNames& names,
                     const QStringList& ports) {
    m_pages->setTabEnabled(m_pages->indexOf(m_outputPage), true);
    m_ports = ports;
    showOutput(output);
    return run(settings, &output, names);
}

bool TfOptions::edit(HarmonySettings& settings, const PatchNames& names) {
    // Nothing would take the output's controls back, so they are not offered.
    m_pages->setTabEnabled(m_pages->indexOf(m_outputPage), false);
    return run(settings, nullptr, names);
}

bool TfOptions::run(HarmonySettings& settings, OutputChoice* output, const PatchNames& names) {
    m_pages->setCurrentIndex(0);
    setPatchNames(names);
    showSettings(settings);
    const bool accepted = exec() == QDialog::Accepted;
    if (accepted) {
        settings = takeSettings(settings);
        if (output) *output = takeOutput();
    }
    clearPatchNames();
    return accepted;
}

} // namespace korvanta::ui
