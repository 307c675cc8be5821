// The main window's side of the window operations: what the logic reads and changes of the
// controls, and the boxes and dialogs it asks for.
#include "ui/file_dialogs.h"
#include "ui/form1_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace shoulu {

namespace {

// Rows are never edited in place: their items say so, so no edit trigger can open an editor.
QTableWidgetItem *ReadOnlyItem() {
    auto *item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// text as a tooltip shows it, never taken for markup.
QString PlainToolTip(const QString &text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace

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

bool Form1Window::isButtonEnabled(ButtonId id) const {
    return button(id)->isEnabled();
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
    return RunFileDialog(this, FileDialogKind::Open, title, filter, initialFolder,
                         [this](QDialog &dialog) { return execModal(dialog); });
}

void Form1Window::openBrowser(const QString &url) {
    QDesktopServices::openUrl(QUrl(url));
}

QString Form1Window::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

void Form1Window::endProgram() {
    // Leaving through _Exit: no handler, destructor or nested event loop runs after this, so
    // the wake request is given back and the progress taken away first.
    keepAwake(false);
    taskbar_.show(0, 0);
    std::fflush(nullptr);
    std::_Exit(0);
}

void Form1Window::keepAwake(bool on) {
    if (startup_.holdAwake) {
        startup_.holdAwake(on);
    }
}

void Form1Window::showBatchProgress(int reached, int total) {
    taskbar_.show(reached, total);
}

void Form1Window::requestAttention() {
    // Qt asks nothing while this window is the active one.
    QApplication::alert(this);
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
    return RunFileDialog(this, FileDialogKind::Save, title, filter, proposedPath,
                         [this](QDialog &dialog) { return execModal(dialog); });
}

QString Form1Window::documentsFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace shoulu
