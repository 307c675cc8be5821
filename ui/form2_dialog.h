#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace shoulu {

// The add-domain dialog (Form2): a view only; the add button's logic is Form2_Command1_Click.
// Built afresh for every opening, so it always starts empty and unticked.
class Form2Dialog : public QDialog {
    Q_OBJECT

public:
    explicit Form2Dialog(QWidget *parent = nullptr);

    QString text() const;
    bool queryAtOnce() const;

    // Runs when Command1 ("添加") is pressed.
    std::function<void()> onAdd;

private:
    QGroupBox *frame1_;
    QLabel *label1_;
    QLineEdit *text1_;
    QCheckBox *check1_;
    QPushButton *command1_;
};

} // namespace shoulu
