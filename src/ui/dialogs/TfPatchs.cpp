#include "ui/dialogs/TfPatchs.h"

#include "ui/Named.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace korvanta::ui {

namespace {

constexpr int kChannelCount = ChannelMixState::kPartCount;
constexpr int kMaxVolume = ChannelMixState::kMaxVolume;
constexpr std::array<int, TfPatchs::kColumnCount> kColumnWidths{20, 215, 34, 34, 34};

// The volume field: three places in which a blank counts as the digit 0, and
// anything above 127 is taken as 127 instead of being refused while typed.
class VolumeBox : public QSpinBox {
public:
    static constexpr int kPlaces = 3;

    explicit VolumeBox(QWidget* parent) : QSpinBox(parent) {
        setRange(0, kMaxVolume);
        setKeyboardTracking(true); // every keystroke is a change
    }

    QValidator::State validate(QString& input, int& /*pos*/) const override {
        if (input.size() > kPlaces) return QValidator::Invalid;
        for (const QChar c : input) {
            if (c != QLatin1Char(' ') && !c.isDigit()) return QValidator::Invalid;
        }
        return QValidator::Acceptable;
    }

    int valueFromText(const QString& text) const override { return typedVolume(text); }

    static int typedVolume(QString text) {
        if (text.isEmpty()) return 0;
        if (text.size() > kPlaces) return kMaxVolume;
        text.replace(QLatin1Char(' '), QLatin1Char('0'));
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        return ok ? std::clamp(value, 0, kMaxVolume) : 0;
    }
};

bool isStartKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2 ||
           key == Qt::Key_Space;
}

} // namespace

TfPatchs::TfPatchs(MixEdits& edits, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_edits(edits),
      m_grid(named(new QTableWidget(kChannelCount, kColumnCount, this), "sg_ChPs")) {
    setObjectName(QStringLiteral("TfPatchs"));
    setWindowTitle(QStringLiteral("Patches"));
    setHelpContext(this, kHelpInstruments);
    setModal(false);

    m_grid->setHorizontalHeaderLabels({QStringLiteral("#"), QStringLiteral("Patch"),
                                       QStringLiteral("Mute"), QStringLiteral("Solo"),
                                       QStringLiteral("Volume")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers); // our own editors only
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setTabKeyNavigation(false);

    QHeaderView* columns = m_grid->horizontalHeader();
    columns->setMinimumSectionSize(kColumnWidths[kNumber]);
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setSectionsClickable(false);
    for (int c = 0; c < kColumnCount; ++c)
        m_grid->setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);
    QHeaderView* rows = m_grid->verticalHeader();
    rows->setMinimumSectionSize(kRowHeight);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    for (int r = 0; r < kChannelCount; ++r) {
        for (int c = 0; c < kColumnCount; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c != kPatch) item->setTextAlignment(Qt::AlignCenter);
            m_grid->setItem(r, c, item);
        }
    }

    m_patch = named(new QComboBox(m_grid->viewport()), "cb_Patch");
    m_patch->setMaxVisibleItems(16);
    m_patch->hide();
    m_volume = named(new VolumeBox(m_grid->viewport()), "se_Volume");
    m_volume->hide();

    // activated, not currentIndexChanged: only the user's choice is an edit.
    connect(m_patch, &QComboBox::activated, this, &TfPatchs::patchChosen);
    connect(m_volume, &QSpinBox::valueChanged, this, &TfPatchs::volumeChanged);
    connect(m_grid, &QTableWidget::cellClicked, this, &TfPatchs::activateCell);
    // Moving to another cell leaves the old one; its editor would sit over
    // the wrong place otherwise.
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this] { hideEditors(); });
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { hideEditors(); });
    m_grid->installEventFilter(this);
    m_patch->installEventFilter(this);
    m_volume->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);

    // The whole grid without scrolling.
    const int frame = 2 * m_grid->frameWidth();
    m_grid->setFixedSize(columns->length() + frame,
                         columns->sizeHint().height() + kChannelCount * kRowHeight + frame);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_grid->setEnabled(false); // nothing to edit before open()
}

void TfPatchs::open(const ChannelMixState& mix, const PatchNames& names) {
    hideEditors();
    m_mix = &mix;
    m_names.clear();
    m_names.reserve(kPatchCount);
    for (const std::string& name : names)
        m_names << QString::fromStdString(name);
    m_patch->clear();
    m_patch->addItems(m_names);
    for (int channel = 0; channel < kChannelCount; ++channel)
        showRow(channel);
    m_grid->setEnabled(true);
    show();
    raise();
}

void TfPatchs::detach() {
    hideEditors();
    m_mix = nullptr;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        for (int c = 0; c < kColumnCount; ++c)
            setCellText(channel, c, QString());
    }
    m_patch->clear();
    m_grid->setEnabled(false);
}

void TfPatchs::refresh() {
    if (!m_mix) return;
    for (int channel = 0; channel < kChannelCount; ++channel)
        showRow(channel);
    if (m_editedChannel < 0) return;
    // Set without signals: showing a value is not an edit.
    if (m_patch->isVisible() && m_patch->currentIndex() != m_mix->program(m_editedChannel)) {
        const QSignalBlocker block(m_patch);
        m_patch->setCurrentIndex(m_mix->program(m_editedChannel));
    }
    if (m_volume->isVisible() && m_volume->value() != m_mix->volume(m_editedChannel)) {
        const QSignalBlocker block(m_volume);
        m_volume->setValue(m_mix->volume(m_editedChannel));
    }
}

void TfPatchs::showRow(int channel) {
    setCellText(channel, kNumber, QString::number(channel + 1));
    setCellText(channel, kPatch, patchName(channel));
    setCellText(channel, kMute, m_mix->muted(channel) ? QStringLiteral("M") : QString());
    setCellText(channel, kSolo, m_mix->soloed(channel) ? QStringLiteral("S") : QString());
    setCellText(channel, kVolume, QString::number(m_mix->volume(channel)));
}

void TfPatchs::setCellText(int channel, int column, const QString& text) {
    if (QTableWidgetItem* item = m_grid->item(channel, column)) item->setText(text);
}

QString TfPatchs::patchName(int channel) const {
    if (channel == kDrumsChannel) return QStringLiteral("General MIDI Drums");
    const int program = m_mix->program(channel);
    if (program >= 0 && program < m_names.size()) return m_names[program];
    return QString::number(program + 1); // as numberedPatchNames() calls it
}

void TfPatchs::activateCell(int channel, int column) {
    hideEditors();
    if (!m_mix || channel < 0 || channel >= kChannelCount) return;
    switch (column) {
    case kPatch:
        if (channel == kDrumsChannel || m_patch->count() == 0) return;
        m_editedChannel = channel;
        {
            const QSignalBlocker block(m_patch);
            m_patch->setCurrentIndex(std::min<int>(m_mix->program(channel), m_patch->count() - 1));
        }
        placeEditor(m_patch, channel, column);
        break;
    case kMute: {
        const bool on = !m_mix->muted(channel);
        setCellText(channel, kMute, on ? QStringLiteral("M") : QString());
        m_edits.setMuted(channel, on);
        break;
    }
    case kSolo: {
        const bool on = !m_mix->soloed(channel);
        setCellText(channel, kSolo, on ? QStringLiteral("S") : QString());
        m_edits.setSoloed(channel, on);
        break;
    }
    case kVolume:
        m_editedChannel = channel;
        {
            const QSignalBlocker block(m_volume);
            m_volume->setValue(m_mix->volume(channel));
        }
        placeEditor(m_volume, channel, column);
        m_volume->selectAll();
        break;
    default:
        break;
    }
}

void TfPatchs::placeEditor(QWidget* editor, int channel, int column) {
    // The whole cell, grid line included, so the list is as wide as its column.
    QRect cell(m_grid->columnViewportPosition(column), m_grid->rowViewportPosition(channel),
               m_grid->columnWidth(column), m_grid->rowHeight(channel));
    // The volume column is narrower than a field with arrows: it grows to the
    // left so it stays inside the grid.
    if (column == kVolume)
        cell.setLeft(cell.right() + 1 - std::max(cell.width(), editor->minimumSizeHint().width()));
    editor->setGeometry(cell);
    editor->show();
    editor->raise();
    editor->setFocus();
}

void TfPatchs::hideEditors() {
    m_patch->hide();
    m_volume->hide();
    m_editedChannel = -1;
}

void TfPatchs::closeEditors() {
    hideEditors();
    m_grid->setFocus();
}

void TfPatchs::patchChosen(int index) {
    if (!m_mix || m_editedChannel < 0 || index < 0 || index >= m_patch->count()) return;
    setCellText(m_editedChannel, kPatch, m_patch->itemText(index));
    m_edits.setProgram(m_editedChannel, index);
}

void TfPatchs::volumeChanged(int volume) {
    if (!m_mix || m_editedChannel < 0) return;
    const int capped = std::clamp(volume, 0, kMaxVolume);
    setCellText(m_editedChannel, kVolume, QString::number(capped));
    m_edits.setVolume(m_editedChannel, capped);
}

bool TfPatchs::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_grid) {
        if (isStartKey(key) && m_grid->currentRow() >= 0) {
            activateCell(m_grid->currentRow(), m_grid->currentColumn());
            return true;
        }
        return false; // arrows move; Escape goes on to close the window
    }
    if (watched == m_patch || watched == m_volume) {
        if (key == Qt::Key_Escape) {
            closeEditors();
            return true;
        }
        // Enter in the field keeps its value and goes back to the grid.
        if (watched == m_volume && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            closeEditors();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace korvanta::ui
