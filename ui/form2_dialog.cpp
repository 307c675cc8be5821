#include "ui/form2_dialog.h"

#include "ui/look.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace shoulu {

Form2Dialog::Form2Dialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , frame1_(new QGroupBox(this))
    , label1_(new QLabel(QStringLiteral("请输入要添加的域名："), frame1_))
    , text1_(new QLineEdit(frame1_))
    , check1_(new QCheckBox(QStringLiteral("添加后立刻查询"), this))
    , command1_(new QPushButton(QStringLiteral("添加"), this)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("添加域名"));
    setWindowIcon(QIcon());
    setFixedSize(346, 193);

    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(16, 16, 313, 89);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(16, 16, 140, 20);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(16, 48, 289, 23);
    // QLineEdit would cut input at 32767 characters without a word; the checks decide instead.
    text1_->setMaxLength(std::numeric_limits<int>::max());
    check1_->setObjectName(QStringLiteral("Check1"));
    check1_->setGeometry(16, 112, 145, 17);
    check1_->setCursor(HandCursor());
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(16, 144, 313, 33);
    command1_->setDefault(true);

    const QFont font = ListFont();
    label1_->setFont(font);
    text1_->setFont(font);
    check1_->setFont(font);

    setTabOrder(command1_, text1_);
    setTabOrder(text1_, check1_);
    command1_->setFocus();

    CentreFrameOnScreen(*this);

    connect(command1_, &QPushButton::clicked, this, [this] {
        if (onAdd) {
            onAdd();
        }
    });
}

QString Form2Dialog::text() const {
    return text1_->text();
}

bool Form2Dialog::queryAtOnce() const {
    return check1_->isChecked();
}

} // namespace shoulu
