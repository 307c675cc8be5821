// The main window's controls, where and how they are laid out (Form1Window::buildControls).
#include "ui/form1_layout.h"

#include "ui/form1_window.h"
#include "ui/look.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

namespace shoulu {

PanelStatusBar::PanelStatusBar(QWidget *parent)
    : QStatusBar(parent) {
    setSizeGripEnabled(false);
    const std::array<Qt::Alignment, 4> alignments{Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter,
                                                  Qt::AlignHCenter};
    for (std::size_t i = 0; i < panels.size(); ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("s1Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setAlignment(alignments[i] | Qt::AlignVCenter);
        panel->setIndent(4);
        panel->setMinimumWidth(kFixedWidth);
        panels[i] = panel;
    }
}

void PanelStatusBar::resizeEvent(QResizeEvent *event) {
    QStatusBar::resizeEvent(event);
    const int top = kGap;
    const int height = this->height() - top;
    const int middle = std::max(kFixedWidth, width() - 3 * kFixedWidth - 3 * kGap);
    int x = 0;
    const std::array<int, 4> widths{kFixedWidth, middle, kFixedWidth, kFixedWidth};
    for (std::size_t i = 0; i < panels.size(); ++i) {
        panels[i]->setGeometry(x, top, widths[i], height);
        x += widths[i] + kGap;
    }
}

namespace {

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, QRect geometry) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &caption, QRect geometry) {
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(ListFont());
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

} // namespace

void Form1Window::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("澜序网站收录批量查询器"));
    setFixedSize(1051, 679);

    const QFont listFont = ListFont();

    buttons_[0] = MakeButton(this, "Command1", QStringLiteral("导入域名"), {8, 528, 81, 41});

    listview1_ = new QTableWidget(0, 4, this);
    listview1_->setObjectName(QStringLiteral("Listview1"));
    listview1_->setGeometry(192, 16, 841, 545);
    listview1_->setFont(listFont);
    listview1_->setHorizontalHeaderLabels({QStringLiteral("域名"), QStringLiteral("百度收录/反链"),
                                           QStringLiteral("360收录/反链"),
                                           QStringLiteral("Bing收录/反链")});
    listview1_->verticalHeader()->hide();
    listview1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listview1_->verticalHeader()->setDefaultSectionSize(QFontMetrics(listFont).height() + 6);
    listview1_->horizontalHeader()->setFont(listFont);
    listview1_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    listview1_->horizontalHeader()->setHighlightSections(false);
    listview1_->horizontalHeader()->setSectionsMovable(false);
    listview1_->horizontalHeader()->setStretchLastSection(false);
    listview1_->setShowGrid(true);
    listview1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows can be selected, for copying them.
    listview1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listview1_->setWordWrap(false);
    // Tab leaves the table, as in any other control.
    listview1_->setTabKeyNavigation(false);
    listview1_->setColumnWidth(0, 167);
    for (int column = 1; column < 4; ++column) {
        listview1_->setColumnWidth(column, 213);
    }
    {
        // The selection is shown only while the table has the focus.
        QPalette palette = listview1_->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Inactive, QPalette::Base));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Inactive, QPalette::Text));
        listview1_->setPalette(palette);
    }

    list1_ = new QueueList(this);
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setGeometry(8, 16, 177, 504);
    list1_->setFont(listFont);
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Keeps a 32767-line import fast: rows are laid out without measuring each one.
    list1_->setUniformItemSizes(true);
    list1_->setCursor(HandCursor());
    list1_->viewport()->setCursor(HandCursor());

    buttons_[1] = MakeButton(this, "Command2", QStringLiteral("批量查询"), {8, 576, 169, 41});
    buttons_[1]->setEnabled(false);

    auto *s1 = new PanelStatusBar(this);
    s1_ = s1;
    s1_->setObjectName(QStringLiteral("s1"));
    s1_->setGeometry(0, 638, 1051, 41);
    panels_ = s1->panels;
    panels_[0]->setText(QStringLiteral("运行提示："));
    panels_[1]->setText(QStringLiteral("正在检测程序最新版本.."));
    panels_[3]->setText(QStringLiteral("澜序出品"));

    label1_ = MakeLabel(this, "Label1", QStringLiteral("查询速度"), {200, 584, 56, 20});

    slider1_ = new QSlider(Qt::Horizontal, this);
    slider1_->setObjectName(QStringLiteral("Slider1"));
    slider1_->setGeometry(264, 584, 225, 25);
    slider1_->setRange(3, 10);
    slider1_->setSingleStep(1);
    slider1_->setPageStep(5);
    slider1_->setTickPosition(QSlider::TicksBelow);
    slider1_->setTickInterval(1);
    slider1_->setValue(3);

    label2_ = MakeLabel(this, "Label2", QStringLiteral("3秒/次"), {496, 584, 42, 20});

    buttons_[2] = MakeButton(this, "Command3", QStringLiteral("工作室官网"), {752, 584, 89, 33});
    buttons_[3] = MakeButton(this, "Command4", QStringLiteral("禾岳公司官网"), {848, 584, 89, 33});
    buttons_[4] = MakeButton(this, "Command5", QStringLiteral("退出程序"), {944, 584, 89, 33});
    buttons_[5] = MakeButton(this, "Command6", QStringLiteral("添加域名"), {96, 528, 81, 41});

    s1_->setFocusPolicy(Qt::NoFocus);
    label1_->setFocusPolicy(Qt::NoFocus);
    label2_->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> tabOrder{buttons_[0], listview1_,  list1_,      buttons_[1], slider1_,
                                    buttons_[2], buttons_[3], buttons_[4], buttons_[5]};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    buttons_[0]->setFocus();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(1000);
}

} // namespace shoulu
