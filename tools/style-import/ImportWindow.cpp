#include "ImportWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace korvanta::styleimport {

namespace {

constexpr int kAllChannels = -1;

std::filesystem::path toPath(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

QString meterLabel(const Meter& m) {
    return QString::fromStdString(meterText(m));
}

// A style name suggested by a file name: its valid characters, cut to fit.
QString suggestedName(const QString& file) {
    std::string name;
    for (const char c : QFileInfo(file).completeBaseName().toStdString()) {
        const std::string one(1, c);
        if (isValidStyleName(one) && name.size() < kLongestStyleName) name += c;
    }
    return QString::fromStdString(name);
}

} // namespace

const std::vector<Meter>& ImportWindow::offeredMeters() {
    static const std::vector<Meter> meters = {{2, 2}, {2, 4}, {3, 4}, {4, 4},
                                              {6, 8}, {9, 8}, {12, 8}};
    return meters;
}

ImportWindow::ImportWindow(const QString& folder, QWidget* parent) : QWidget(parent) {
    setWindowTitle(tr("Korvanta style import"));
    auto* form = new QFormLayout;

    m_folder = new QLineEdit(folder);
    m_folder->setObjectName("folder");
    auto* folderButton = new QPushButton(tr("Choose…"));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(folderButton);
    form->addRow(tr("Styles folder:"), folderRow);

    m_sourceLabel = new QLabel(tr("(none)"));
    auto* sourceButton = new QPushButton(tr("Choose MIDI file…"));
    sourceButton->setObjectName("choose-source");
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(m_sourceLabel, 1);
    sourceRow->addWidget(sourceButton);
    form->addRow(tr("Pattern:"), sourceRow);

    m_channel = new QComboBox;
    m_channel->setObjectName("channel");
    form->addRow(tr("Channel:"), m_channel);

    m_name = new QLineEdit;
    m_name->setObjectName("name");
    m_name->setMaxLength(static_cast<int>(kLongestStyleName));
    form->addRow(tr("Name:"), m_name);

    m_group = new QComboBox;
    m_group->setObjectName("group");
    m_group->addItems({tr("Piano"), tr("Guitar"), tr("Other")});
    form->addRow(tr("Group:"), m_group);

    m_octave = new QSpinBox;
    m_octave->setObjectName("octave");
    m_octave->setRange(0, kLargestBaseOctave);
    m_octave->setValue(kDefaultBaseOctave);
    m_octaveHint = new QLabel;
    auto* octaveRow = new QHBoxLayout;
    octaveRow->addWidget(m_octave);
    octaveRow->addWidget(m_octaveHint, 1);
    form->addRow(tr("Base octave:"), octaveRow);

    m_program = new QComboBox;
    m_program->setObjectName("program");
    form->addRow(tr("Instrument:"), m_program);

    m_meterRow = new QHBoxLayout;
    form->addRow(tr("Compatible meters:"), m_meterRow);

    m_bars = new QSpinBox;
    m_bars->setObjectName("bars");
    m_bars->setRange(0, kLargestPatternBars);
    m_bars->setSpecialValueText(tr("from the notes"));
    form->addRow(tr("Bars:"), m_bars);

    m_replace = new QCheckBox(tr("Replace a style of the same name"));
    m_replace->setObjectName("replace");
    form->addRow(QString(), m_replace);

    m_table = new QTableWidget(0, static_cast<int>(kReportColumns));
    m_table->setObjectName("table");
    m_table->setHorizontalHeaderLabels({tr("Position"), tr("Length"), tr("Note"), tr("Selector"),
                                        tr("Tone"), tr("Octave"), tr("Velocity"), tr("Remark")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_write = new QPushButton(tr("Write style"));
    m_write->setObjectName("write");
    m_status = new QLabel;
    m_status->setObjectName("status");
    m_status->setWordWrap(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_write);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);
    resize(760, 620);

    fillInstruments();
    rebuildMeterBoxes({});
    updateOctaveHint();
    m_channel->setEnabled(false);

    connect(folderButton, &QPushButton::clicked, this, [this] { chooseFolder(); });
    connect(sourceButton, &QPushButton::clicked, this, [this] { chooseSource(); });
    connect(m_folder, &QLineEdit::editingFinished, this, [this] { fillInstruments(); });
    connect(m_channel, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_name, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_group, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_octave, &QSpinBox::valueChanged, this, [this] {
        updateOctaveHint();
        refresh();
    });
    connect(m_program, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_bars, &QSpinBox::valueChanged, this, [this] { refresh(); });
    connect(m_write, &QPushButton::clicked, this, [this] { writeStyle(); });
    refresh();
}

namespace {

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void ImportWindow::BoxSink::error(std::string_view text, std::string_view caption) {
    QMessageBox::critical(&m_owner, qText(caption), qText(text));
}

void ImportWindow::BoxSink::warning(std::string_view text, std::string_view caption) {
    QMessageBox::warning(&m_owner, qText(caption), qText(text));
}

MessageAnswer ImportWindow::BoxSink::confirm(std::string_view text, std::string_view caption) {
    const auto button = QMessageBox::question(
        &m_owner, qText(caption), qText(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
    return button == QMessageBox::Yes  ? MessageAnswer::Yes
           : button == QMessageBox::No ? MessageAnswer::No
                                       : MessageAnswer::Cancel;
}

void ImportWindow::BoxSink::info(std::string_view text, std::string_view caption) {
    QMessageBox::information(&m_owner, qText(caption), qText(text));
}

QString ImportWindow::statusText() const {
    return m_status->text();
}

void ImportWindow::report(const QString& text, bool error) {
    m_status->setText(text);
    m_status->setStyleSheet(error ? "color: #b00020;" : QString());
    if (error) m_messages->warning(text.toStdString(), windowTitle().toStdString());
}

void ImportWindow::chooseFolder() {
    const QString dir =
        QFileDialog::getExistingDirectory(this, tr("Styles folder"), m_folder->text());
    if (dir.isEmpty()) return;
    m_folder->setText(dir);
    fillInstruments();
}

void ImportWindow::chooseSource() {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Pattern file"), QString(),
        tr("Patterns (*.mid *.midi *.kvp);;MIDI files (*.mid *.midi);;Pattern sources (*.kvp)"));
    if (!file.isEmpty()) loadSource(file);
}

void ImportWindow::fillInstruments() {
    const int current = std::max(m_program->currentIndex(), 0);
    const std::vector<std::string> names =
        readInstrumentNames(instrumentNamesFile(toPath(m_folder->text())));
    const bool filling = m_filling;
    m_filling = true;
    m_program->clear();
    for (int p = 0; p < 128; ++p) {
        const auto i = static_cast<std::size_t>(p);
        QString text = QString::number(p);
        if (i < names.size() && !names[i].empty()) text += "  " + QString::fromStdString(names[i]);
        m_program->addItem(text, p);
    }
    m_program->setCurrentIndex(current);
    m_filling = filling;
}

void ImportWindow::rebuildMeterBoxes(const std::vector<Meter>& checked) {
    for (auto& [meter, box] : m_meterBoxes)
        delete box;
    m_meterBoxes.clear();
    std::vector<Meter> meters = offeredMeters();
    const std::optional<Meter> own =
        m_source ? std::optional<Meter>(m_source->meter) : std::nullopt;
    if (own && std::find(meters.begin(), meters.end(), *own) == meters.end())
        meters.push_back(*own);
    for (const Meter& m : checked) {
        if (std::find(meters.begin(), meters.end(), m) == meters.end()) meters.push_back(m);
    }
    for (const Meter& m : meters) {
        auto* box = new QCheckBox(meterLabel(m));
        box->setObjectName("meter-" + meterLabel(m));
        const bool isOwn = own && m == *own;
        box->setChecked(isOwn || std::find(checked.begin(), checked.end(), m) != checked.end());
        // The pattern's own meter is always listed.
        if (isOwn) box->setEnabled(false);
        m_meterRow->addWidget(box);
        m_meterBoxes.emplace_back(m, box);
        connect(box, &QCheckBox::toggled, this, [this] {
            limitMeterBoxes();
            refresh();
        });
    }
    limitMeterBoxes();
}

// At most four meters: the unchecked boxes wait while four are checked.
void ImportWindow::limitMeterBoxes() {
    const auto checkedCount = std::count_if(m_meterBoxes.begin(), m_meterBoxes.end(),
                                            [](const auto& mb) { return mb.second->isChecked(); });
    const bool full = checkedCount >= static_cast<long>(kMostMeters);
    for (auto& [meter, box] : m_meterBoxes) {
        const bool isOwn = m_source && meter == m_source->meter;
        if (!isOwn) box->setEnabled(box->isChecked() || !full);
    }
}

void ImportWindow::updateOctaveHint() {
    const int octave = m_octave->value();
    m_octaveHint->setText(
        tr("C%1 = note %2 stands for the song's chord octave").arg(octave - 1).arg(octave * 12));
}

bool ImportWindow::loadSource(const QString& file) {
    SourceRead read = readPatternSource(toPath(file));
    if (!read.source) {
        report(QString::fromStdString(read.error), true);
        return false;
    }
    m_source = std::move(*read.source);
    const PatternSource& s = *m_source;
    m_filling = true;
    m_sourceLabel->setText(QFileInfo(file).fileName());

    m_channel->clear();
    if (s.kind == SourceKind::Midi) {
        m_channel->addItem(tr("All (%1 notes)").arg(s.notes.size()), kAllChannels);
        const auto counts = s.channelNoteCounts();
        for (int ch = 0; ch < 16; ++ch) {
            const int n = counts[static_cast<std::size_t>(ch)];
            if (n > 0) m_channel->addItem(tr("Channel %1 (%2 notes)").arg(ch + 1).arg(n), ch);
        }
        m_channel->setEnabled(true);
    } else {
        m_channel->addItem(tr("(pattern source)"), kAllChannels);
        m_channel->setEnabled(false);
    }

    m_name->setText(s.name ? QString::fromStdString(*s.name) : suggestedName(file));
    m_group->setCurrentIndex(std::clamp(s.group.value_or(0), 0, 2));
    m_octave->setValue(s.baseOctave.value_or(kDefaultBaseOctave));
    int program = s.program.value_or(-1);
    for (std::size_t ch = 0; ch < 16 && program < 0; ++ch) {
        if (s.channelNoteCounts()[ch] > 0) program = s.firstProgram[ch];
    }
    m_program->setCurrentIndex(std::clamp(program, 0, 127));
    m_bars->setValue(s.bars ? std::clamp(*s.bars, 0, kLargestPatternBars) : 0);
    rebuildMeterBoxes(s.meters.value_or(std::vector<Meter>{s.meter}));
    updateOctaveHint();
    m_filling = false;
    refresh();
    return true;
}

ImportOptions ImportWindow::currentOptions() const {
    ImportOptions o;
    o.name = m_name->text().toStdString();
    o.group = m_group->currentIndex();
    const int channel =
        m_channel->currentData().isValid() ? m_channel->currentData().toInt() : kAllChannels;
    if (channel != kAllChannels) o.channel = channel;
    o.baseOctave = m_octave->value();
    o.program = std::max(m_program->currentIndex(), 0);
    if (m_bars->value() > 0) o.bars = m_bars->value();
    // The own meter first, then the others as the boxes show them.
    std::vector<Meter> meters;
    if (m_source) meters.push_back(m_source->meter);
    for (const auto& [meter, box] : m_meterBoxes) {
        if (box->isChecked() && std::find(meters.begin(), meters.end(), meter) == meters.end())
            meters.push_back(meter);
    }
    o.meters = std::move(meters);
    return o;
}

void ImportWindow::refresh() {
    if (m_filling) return;
    m_table->setRowCount(0);
    if (!m_source) {
        m_conversion = Conversion{};
        m_write->setEnabled(false);
        m_status->setText(tr("Choose a MIDI file or a pattern source."));
        return;
    }
    m_conversion = convertPattern(*m_source, currentOptions());
    m_table->setRowCount(static_cast<int>(m_conversion.notes.size()));
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const NoteReport& r = m_conversion.notes[static_cast<std::size_t>(row)];
        const auto cells = reportCells(r);
        for (std::size_t c = 0; c < kReportColumns; ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
            if (!r.kept) item->setForeground(grey);
            m_table->setItem(row, static_cast<int>(c), item);
        }
    }
    m_table->resizeColumnsToContents();
    m_write->setEnabled(true);
    if (m_conversion.style) {
        const std::size_t events = m_conversion.style->events.size();
        const int bars = m_conversion.settings.bars;
        m_status->setText(tr("%1 events, %2 %3; %4 left out.")
                              .arg(events)
                              .arg(bars)
                              .arg(bars == 1 ? tr("bar") : tr("bars"))
                              .arg(m_conversion.notes.size() - events));
        m_status->setStyleSheet(QString());
    } else {
        m_status->setText(QString::fromStdString(m_conversion.error));
        m_status->setStyleSheet("color: #b00020;");
    }
}

bool ImportWindow::writeStyle() {
    refresh();
    if (!m_source) {
        report(tr("Choose a MIDI file or a pattern source first."), true);
        return false;
    }
    if (!m_conversion.style) {
        report(QString::fromStdString(m_conversion.error), true);
        return false;
    }
    if (m_folder->text().trimmed().isEmpty()) {
        report(tr("Choose the styles folder first."), true);
        return false;
    }
    const LibraryAdd added =
        addStyleToLibrary(toPath(m_folder->text().trimmed()), m_conversion.settings,
                          *m_conversion.style, m_replace->isChecked());
    if (!added.ok) {
        report(QString::fromStdString(added.error), true);
        return false;
    }
    report(tr("Written: %1")
               .arg(QString::fromStdString(
                   summaryLine(m_conversion.settings, *m_conversion.style, added))),
           false);
    return true;
}

int runImportWindow(int& argc, char** argv, const std::string& folder) {
    QApplication app(argc, argv);
    ImportWindow window(QString::fromStdString(folder));
    window.show();
    return app.exec();
}

} // namespace korvanta::styleimport
