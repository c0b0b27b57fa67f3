#pragma once
// The manual harmony dialog ("Making chords progression manually"): a meter
// and a key to start a chord progression from, or no key at all. "Ok" needs
// both lists chosen; the "w/o Key" box needs at least one and, checked, takes
// both lists out of play.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace korvanta::ui {

class TfChrMan : public QDialog {
    Q_OBJECT
public:
    explicit TfChrMan(QWidget* parent = nullptr);

    // The lists start empty; whoever fills them needs nothing more, as the
    // controls follow every change of either list's selection.
    QComboBox* meterList() const { return m_meter; }
    QComboBox* keyList() const { return m_key; }
    bool withoutKey() const;

private:
    void listChanged();
    void withoutKeyToggled(bool checked);

    QComboBox* m_meter;
    QComboBox* m_key;
    QCheckBox* m_withoutKey;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_help;
};

} // namespace korvanta::ui
