#include "tests/support/fake_window.h"

#include <QDir>

namespace shoulu::testing {

FakeWindow::FakeWindow()
    : folder(QDir::tempPath()) {
    captions[ButtonId::Command1] = QStringLiteral("导入域名");
    captions[ButtonId::Command2] = QStringLiteral("批量查询");
    captions[ButtonId::Command3] = QStringLiteral("工作室官网");
    captions[ButtonId::Command4] = QStringLiteral("禾岳公司官网");
    captions[ButtonId::Command5] = QStringLiteral("退出程序");
    captions[ButtonId::Command6] = QStringLiteral("添加域名");
    for (auto it = captions.cbegin(); it != captions.cend(); ++it) {
        buttonEnabled[it.key()] = it.key() != ButtonId::Command2;
    }
    timerInterval[TimerId::Timer1] = 1000;
    timerInterval[TimerId::Timer2] = 1000;
    timerEnabled[TimerId::Timer1] = false;
    timerEnabled[TimerId::Timer2] = true;
    panels[1] = QStringLiteral("运行提示：");
    panels[2] = QStringLiteral("正在检测程序最新版本..");
    panels[4] = QStringLiteral("澜序出品");
}

bool FakeWindow::fireTimer(TimerId timer) {
    if (!timerEnabled.value(timer)) {
        return false;
    }
    const std::function<void()> &handler = timer == TimerId::Timer1 ? onTimer1 : onTimer2;
    if (handler) {
        handler();
    }
    return true;
}

void FakeWindow::clearQueue() {
    queue.clear();
    selected = -1;
}

void FakeWindow::appendQueueEntry(const QString &text) {
    queue.append(text);
}

int FakeWindow::queueCount() const {
    return static_cast<int>(queue.size());
}

QString FakeWindow::queueEntry(int index) const {
    return queue.value(index);
}

void FakeWindow::removeQueueEntry(int index) {
    if (index < 0 || index >= queue.size()) {
        return;
    }
    queue.removeAt(index);
    if (index == selected) {
        selected = -1;
    } else if (index < selected) {
        --selected;
    }
}

int FakeWindow::selectedIndex() const {
    return selected;
}

void FakeWindow::highlightQueueEntry(int index) {
    if (index < 0 || index >= queue.size()) {
        return;
    }
    selected = index;
    ++highlights;
}

void FakeWindow::setQueueToolTip(const QString &text) {
    queueToolTip = text;
}

void FakeWindow::setQueueEnabled(bool enabled) {
    queueEnabled = enabled;
}

void FakeWindow::clearRows() {
    rows.clear();
}

int FakeWindow::appendRow() {
    rows.append(Row{});
    return static_cast<int>(rows.size() - 1);
}

void FakeWindow::setRowText(int row, const QString &text) {
    if (row >= 0 && row < rows.size()) {
        rows[row].text = text;
    }
}

void FakeWindow::setRowSubItem(int row, int subItem, const QString &text) {
    if (row >= 0 && row < rows.size() && subItem >= 1 && subItem <= 3) {
        rows[row].subItems[subItem - 1] = text;
    }
}

void FakeWindow::setPanelText(int panel, const QString &text) {
    if (panel >= 1 && panel <= 4) {
        panels[panel] = text;
    }
    if (panel == 2) {
        panel2History.append(text);
    }
}

QString FakeWindow::buttonCaption(ButtonId button) const {
    return captions.value(button);
}

void FakeWindow::setButtonCaption(ButtonId button, const QString &caption) {
    captions[button] = caption;
    if (onCaption) {
        onCaption(button, caption);
    }
}

void FakeWindow::setButtonEnabled(ButtonId button, bool enabled) {
    buttonEnabled[button] = enabled;
}

bool FakeWindow::isButtonEnabled(ButtonId button) const {
    return buttonEnabled.value(button);
}

int FakeWindow::sliderValue() const {
    return slider;
}

void FakeWindow::setSliderEnabled(bool enabled) {
    sliderEnabled = enabled;
}

void FakeWindow::setLabel2Caption(const QString &caption) {
    label2 = caption;
}

void FakeWindow::setTimerInterval(TimerId timer, int milliseconds) {
    timerInterval[timer] = milliseconds;
}

void FakeWindow::setTimerEnabled(TimerId timer, bool enabled) {
    timerEnabled[timer] = enabled;
}

MessageAnswer FakeWindow::messageBox(const QString &text, const QString &title,
                                     MessageButtons buttons) {
    const MessageAnswer answer = script.answerBox(buttons);
    messages.append(Message{text, title, buttons, answer});
    return answer;
}

std::optional<QString> FakeWindow::openFileDialog(const QString &title, const QString &filter,
                                                  const QString &initialFolder) {
    fileDialogs.append(FileDialogCall{title, filter, initialFolder});
    return script.answerFile();
}

void FakeWindow::openBrowser(const QString &url) {
    browserUrls.append(url);
}

QString FakeWindow::programFolder() const {
    return folder;
}

void FakeWindow::endProgram() {
    ended = true;
    if (onEndProgram) {
        onEndProgram();
    }
}

void FakeWindow::keepAwake(bool on) {
    awake = on;
}

void FakeWindow::showBatchProgress(int reached, int total) {
    progress.append(QStringLiteral("%1/%2").arg(reached).arg(total));
}

void FakeWindow::requestAttention() {
    ++attentionRequests;
}

int FakeWindow::rowCount() const {
    return static_cast<int>(rows.size());
}

QString FakeWindow::rowCell(int row, int column) const {
    if (row < 0 || row >= rows.size() || column < 0 || column > 3) {
        return {};
    }
    return column == 0 ? rows[row].text : rows[row].subItems[column - 1];
}

QList<int> FakeWindow::selectedRows() const {
    return selectedRowList;
}

QString FakeWindow::clipboardText() const {
    return clipboard;
}

void FakeWindow::setClipboardText(const QString &text) {
    clipboard = text;
}

std::optional<QString> FakeWindow::saveFileDialog(const QString &title, const QString &filter,
                                                  const QString &proposedPath) {
    saveDialogs.append(FileDialogCall{title, filter, proposedPath});
    return script.answerFile();
}

QString FakeWindow::documentsFolder() const {
    return documents;
}

} // namespace shoulu::testing
