#include "ui/dialogs/TfChrMan.h"

#include "ui/Named.h"
#include "ui/help/HelpContext.h"
#include "ui/help/HelpTopics.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvanta::ui {

namespace {

// Item 0 of a list is its "nothing chosen" entry.
bool chosen(const QComboBox* list) {
    return list->currentIndex() > 0;
}

} // namespace

TfChrMan::TfChrMan(QWidget* parent)
    : QDialog(parent), m_meter(named(new QComboBox(this), "lb_Meter")),
      m_key(named(new QComboBox(this), "lb_Key")),
      m_withoutKey(
          named(new QCheckBox(QStringLiteral("Chord progression &w/o Key"), this), "chb_woKey")),
      m_ok(named(new QPushButton(QStringLiteral("Ok"), this), "b_Ok")),
      m_cancel(named(new QPushButton(QStringLiteral("Cancel"), this), "b_Cancel")),
      m_help(named(new QPushButton(QStringLiteral("Help"), this), "b_Help")) {
    setObjectName(QStringLiteral("TfChrMan"));
    setWindowTitle(QStringLiteral("Making chords progression manually"));
    setHelpContext(this, kHelpManualHarmony);

    auto* meterLabel = new QLabel(QStringLiteral("Select &Meter"), this);
    meterLabel->setBuddy(m_meter);
    auto* keyLabel = new QLabel(QStringLiteral("Select &Key"), this);
    keyLabel->setBuddy(m_key);
    connectHelpButton(m_help, kHelpManualHarmony);
    m_ok->setDefault(true);

    connect(m_meter, &QComboBox::currentIndexChanged, this, &TfChrMan::listChanged);
    connect(m_key, &QComboBox::currentIndexChanged, this, &TfChrMan::listChanged);
    connect(m_withoutKey, &QCheckBox::toggled, this, &TfChrMan::withoutKeyToggled);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* lists = new QGridLayout;
    lists->addWidget(meterLabel, 0, 0);
    lists->addWidget(keyLabel, 0, 1);
    lists->addWidget(m_meter, 1, 0);
    lists->addWidget(m_key, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(m_withoutKey);
    layout->addLayout(buttons);

    listChanged();
}

bool TfChrMan::withoutKey() const {
    return m_withoutKey->isChecked();
}

void TfChrMan::listChanged() {
    const bool meter = chosen(m_meter);
    const bool key = chosen(m_key);
    m_ok->setEnabled(meter && key);
    m_withoutKey->setEnabled(meter || key);
    // A checked box that can no longer be unchecked would keep both lists
    // locked for good.
    if (!m_withoutKey->isEnabled()) m_withoutKey->setChecked(false);
}

void TfChrMan::withoutKeyToggled(bool checked) {
    m_meter->setEnabled(!checked);
    m_key->setEnabled(!checked);
}

} // namespace korvanta::ui
