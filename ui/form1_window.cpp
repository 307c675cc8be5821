#include "ui/form1_window.h"

#include "app/startup.h"
#include "core/add_domain.h"
#include "net/protocol.h"
#include "ui/column_lock.h"
#include "ui/context_menus.h"
#include "ui/form2_dialog.h"
#include "ui/look.h"
#include "ui/results_sort.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace shoulu {

namespace {

// List1: reports presses and double-clicks, which QListWidget has no signals for where no item
// is (an empty queue is exactly where the import must start).
class QueueList : public QListWidget {
public:
    using QListWidget::QListWidget;

    std::function<void()> onMouseDown;
    std::function<void()> onDoubleClick;

protected:
    void mousePressEvent(QMouseEvent *event) override {
        QListWidget::mousePressEvent(event);
        if (onMouseDown) {
            onMouseDown();
        }
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override {
        QListWidget::mouseDoubleClickEvent(event);
        if (onDoubleClick) {
            onDoubleClick();
        }
    }
};

// s1: four sunken panels with 2 px between them; panel 2 takes what the others leave.
class PanelStatusBar : public QStatusBar {
public:
    static constexpr int kFixedWidth = 96;
    static constexpr int kGap = 2;

    explicit PanelStatusBar(QWidget *parent)
        : QStatusBar(parent) {
        setSizeGripEnabled(false);
        const std::array<Qt::Alignment, 4> alignments{Qt::AlignLeft, Qt::AlignLeft,
                                                      Qt::AlignHCenter, Qt::AlignHCenter};
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

    std::array<QLabel *, 4> panels{};

protected:
    void resizeEvent(QResizeEvent *event) override {
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
};

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

QTableWidgetItem *ReadOnlyItem() {
    auto *item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

QString QtFileFilter(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

Form1Window::Form1Window(GetFunction get, PostFunction post, ServiceUrls urls, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , urls_(std::move(urls)) {
    buildControls();
    form1_ = std::make_unique<Form1>(*this, std::move(get), urls_.query);
    versionCheck_ = std::make_unique<VersionCheck>(
        *this, std::move(post), [this] { form1_->init(); }, urls_.version, urls_.site);
    connectEvents();
    connectResultsTools();
    // The version check starts one second after the window exists.
    timer2_->start();
}

Form1Window::~Form1Window() = default;

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
    listview1_->setSelectionMode(QAbstractItemView::SingleSelection);
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

    auto *list1 = new QueueList(this);
    list1_ = list1;
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

void Form1Window::connectEvents() {
    Form1 *form1 = form1_.get();
    connect(buttons_[0], &QPushButton::clicked, this, [form1] { form1->Command1_Click(); });
    connect(buttons_[1], &QPushButton::clicked, this, [form1] { form1->Command2_Click(); });
    connect(buttons_[2], &QPushButton::clicked, this, [this] { openBrowser(urls_.studio); });
    connect(buttons_[3], &QPushButton::clicked, this, [this] { openBrowser(urls_.company); });
    connect(buttons_[4], &QPushButton::clicked, this, [this] { close(); });
    connect(buttons_[5], &QPushButton::clicked, this, [this] { showAddDomainDialog(); });
    connect(list1_, &QListWidget::itemSelectionChanged, this, &Form1Window::queueSelectionChanged);
    auto *list1 = static_cast<QueueList *>(list1_);
    list1->onMouseDown = [form1] { form1->List1_MouseDown(); };
    list1->onDoubleClick = [form1] { form1->List1_DblClick(); };
    connect(slider1_, &QSlider::valueChanged, this, [form1] { form1->Slider1_Scroll(); });
    connect(timer1_, &QTimer::timeout, this, [form1] { form1->Timer1_Timer(); });
    connect(timer2_, &QTimer::timeout, this, [this] { versionCheck_->Timer2_Timer(); });
}

void Form1Window::Form_Load() {
    SkinH_AttachEx(SkinFilePath(programFolder()), QString());
    setWindowIcon(QIcon());
    LockColumnWidths(*listview1_->horizontalHeader());
    listview1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CentreFrameOnScreen(*this);
    show();
    setPanelText(kVersionPanel, VersionText(BuiltInVersion()));
}

void Form1Window::queueSelectionChanged() {
    if (!settingSelection_) {
        form1_->List1_Click();
    }
}

QPushButton *Form1Window::button(ButtonId id) const {
    return buttons_[static_cast<std::size_t>(id)];
}

QTimer *Form1Window::timer(TimerId id) const {
    return id == TimerId::Timer1 ? timer1_ : timer2_;
}

void Form1Window::clearQueue() {
    settingSelection_ = true;
    list1_->clear();
    settingSelection_ = false;
}

void Form1Window::appendQueueEntry(const QString &text) {
    list1_->addItem(text);
}

void Form1Window::appendQueueEntries(const QStringList &texts) {
    list1_->addItems(texts);
}

int Form1Window::queueCount() const {
    return list1_->count();
}

QString Form1Window::queueEntry(int index) const {
    const QListWidgetItem *item = list1_->item(index);
    return item != nullptr ? item->text() : QString();
}

void Form1Window::removeQueueEntry(int index) {
    if (index < 0 || index >= list1_->count()) {
        return;
    }
    const bool wasSelected = index == selectedIndex();
    settingSelection_ = true;
    delete list1_->takeItem(index);
    if (wasSelected) {
        // Qt would move the selection to a neighbour; the queue keeps none.
        list1_->selectionModel()->clear();
    }
    settingSelection_ = false;
}

int Form1Window::selectedIndex() const {
    const QModelIndexList selected = list1_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void Form1Window::highlightQueueEntry(int index) {
    if (index < 0 || index >= list1_->count()) {
        return;
    }
    settingSelection_ = true;
    list1_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    settingSelection_ = false;
}

void Form1Window::setQueueToolTip(const QString &text) {
    list1_->setToolTip(PlainToolTip(text));
}

void Form1Window::setQueueEnabled(bool enabled) {
    list1_->setEnabled(enabled);
}

void Form1Window::clearRows() {
    listview1_->setRowCount(0);
}

int Form1Window::appendRow() {
    const int row = listview1_->rowCount();
    listview1_->insertRow(row);
    for (int column = 0; column < 4; ++column) {
        listview1_->setItem(row, column, ReadOnlyItem());
    }
    return row;
}

void Form1Window::setRowText(int row, const QString &text) {
    if (QTableWidgetItem *item = listview1_->item(row, 0)) {
        item->setText(text);
    }
}

void Form1Window::setRowSubItem(int row, int subItem, const QString &text) {
    if (subItem < 1 || subItem > 3) {
        return;
    }
    if (QTableWidgetItem *item = listview1_->item(row, subItem)) {
        item->setText(text);
    }
}

void Form1Window::setPanelText(int panel, const QString &text) {
    if (panel >= 1 && panel <= 4) {
        panels_[static_cast<std::size_t>(panel - 1)]->setText(text);
    }
}

QString Form1Window::buttonCaption(ButtonId id) const {
    return button(id)->text();
}

void Form1Window::setButtonCaption(ButtonId id, const QString &caption) {
    button(id)->setText(caption);
}

void Form1Window::setButtonEnabled(ButtonId id, bool enabled) {
    button(id)->setEnabled(enabled);
}

int Form1Window::sliderValue() const {
    return slider1_->value();
}

void Form1Window::setSliderEnabled(bool enabled) {
    slider1_->setEnabled(enabled);
}

void Form1Window::setLabel2Caption(const QString &caption) {
    label2_->setText(caption);
    // Sized to its text, never narrower than laid out.
    label2_->resize(std::max(42, label2_->sizeHint().width()), label2_->height());
}

void Form1Window::setTimerInterval(TimerId id, int milliseconds) {
    timer(id)->setInterval(milliseconds);
}

void Form1Window::setTimerEnabled(TimerId id, bool enabled) {
    if (enabled) {
        timer(id)->start();
    } else {
        timer(id)->stop();
    }
}

MessageAnswer Form1Window::messageBox(const QString &text, const QString &title,
                                      MessageButtons buttons) {
    QWidget *parent = QApplication::activeModalWidget();
    QMessageBox box(QMessageBox::Information, title, text,
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
                    parent != nullptr ? parent : this);
    box.setTextFormat(Qt::PlainText);
    execModal(box);
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes
                                                               : MessageAnswer::No;
}

std::optional<QString> Form1Window::openFileDialog(const QString &title, const QString &filter,
                                                   const QString &initialFolder) {
    return runFileDialog(false, title, filter, initialFolder);
}

void Form1Window::showAddDomainDialog() {
    Form2Dialog dialog(this);
    dialog.onAdd = [this, &dialog] {
        Form2_Command1_Click(*this, *form1_, dialog.text(), dialog.queryAtOnce(),
                             [&dialog] { dialog.done(QDialog::Accepted); });
    };
    execModal(dialog);
}

void Form1Window::openBrowser(const QString &url) {
    QDesktopServices::openUrl(QUrl(url));
}

QString Form1Window::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

void Form1Window::endProgram() {
    // Leaving through _Exit: no handler, destructor or nested event loop runs after this.
    std::fflush(nullptr);
    std::_Exit(0);
}

int Form1Window::execModal(QDialog &dialog) {
    return dialog.exec();
}

void Form1Window::closeEvent(QCloseEvent *event) {
    // A confirmed close ends the program inside ConfirmClose; the window never closes itself.
    event->ignore();
    ConfirmClose(*this);
}

void Form1Window::connectResultsTools() {
    // Several rows can be selected, for copying them; in-place editing stays off.
    listview1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    contextMenus_ =
        std::make_unique<ContextMenus>(*list1_, *listview1_, *this, *form1_,
                                       [this](QDialog &dialog) { return execModal(dialog); });
    sorting_ =
        std::make_unique<ResultsSorting>(*listview1_, [this] { return form1_->resultsSortable(); });
}

int Form1Window::rowCount() const {
    return listview1_->rowCount();
}

QString Form1Window::rowCell(int row, int column) const {
    const QTableWidgetItem *item = listview1_->item(row, column);
    return item != nullptr ? item->text() : QString();
}

QList<int> Form1Window::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex &index : listview1_->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString Form1Window::clipboardText() const {
    return QGuiApplication::clipboard()->text();
}

void Form1Window::setClipboardText(const QString &text) {
    QGuiApplication::clipboard()->setText(text);
}

std::optional<QString> Form1Window::saveFileDialog(const QString &title, const QString &filter,
                                                   const QString &proposedPath) {
    return runFileDialog(true, title, filter, proposedPath);
}

std::optional<QString> Form1Window::runFileDialog(bool save, const QString &title,
                                                  const QString &filter, const QString &start) {
    // Qt's own dialog writes its state into the user's settings when it goes; the program keeps
    // no settings, so whatever it wrote is put back as it was.
    const QtSettingsRestorer restorer(QStringLiteral("FileDialog"));
    QFileDialog dialog(this, title, start, QtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setObjectName(QStringLiteral("SaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dialog.setObjectName(QStringLiteral("Cl1"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (execModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}

QString Form1Window::documentsFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace shoulu
