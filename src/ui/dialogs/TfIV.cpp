#include "ui/dialogs/TfIV.h"

#include "ui/Named.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvanta::ui {

TfIV::TfIV(QWidget* parent)
    : QDialog(parent), m_top(named(new QLabel(this), "LabelTop")),
      m_label1(named(new QLabel(this), "Label1")), m_label2(named(new QLabel(this), "Label2")),
      m_edit1(named(new QLineEdit(this), "Edit1")), m_edit2(named(new QLineEdit(this), "Edit2")),
      m_ok(named(new QPushButton(QStringLiteral("Ok"), this), "b_Ok")),
      m_cancel(named(new QPushButton(QStringLiteral("Cancel"), this), "b_Cancel")) {
    setObjectName(QStringLiteral("TfIV"));
    // A tool window that stays above the main window while it asks.
    setWindowFlags(windowFlags() | Qt::Tool | Qt::WindowStaysOnTopHint);
    m_top->setWordWrap(true);
    m_top->setStyleSheet(QStringLiteral("color: navy;"));
    m_label1->setBuddy(m_edit1);
    m_label2->setBuddy(m_edit2);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(m_label1, m_edit1);
    fields->addRow(m_label2, m_edit2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_top);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    m_edit1->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
}

void TfIV::setTexts(const QString& caption, const QString& top, const QString& label1,
                    const QString& label2) {
    setWindowTitle(caption);
    m_top->setText(top);
    m_label1->setText(label1);
    m_label2->setText(label2);
}

void TfIV::setFields(const QString& field1, const QString& field2) {
    m_edit1->setText(field1);
    m_edit2->setText(field2);
    m_edit1->setFocus();
}

QString TfIV::field1() const {
    return m_edit1->text();
}

QString TfIV::field2() const {
    return m_edit2->text();
}

} // namespace korvanta::ui
