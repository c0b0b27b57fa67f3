#pragma once
// TfIV: a small input dialog with a line of text on top and two labelled
// fields, "Ok" and "Cancel". The caller sets the caption, the three labels and
// the fields; printing asks the composition's title and author with it.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvanta::ui {

class TfIV : public QDialog {
    Q_OBJECT
public:
    explicit TfIV(QWidget* parent = nullptr);

    void setTexts(const QString& caption, const QString& top, const QString& label1,
                  const QString& label2);
    void setFields(const QString& field1, const QString& field2);
    QString field1() const;
    QString field2() const;

private:
    QLabel* m_top;
    QLabel* m_label1;
    QLabel* m_label2;
    QLineEdit* m_edit1;
    QLineEdit* m_edit2;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace korvanta::ui
