#include "core/form1.h"

#include "core/domain_import.h"
#include "core/queue_tools.h"
#include "core/window_ops.h"

#include <algorithm>
#include <utility>

namespace shoulu {

namespace {

const QString kIdleCaption = QStringLiteral("批量查询");
const QString kRunningCaption = QStringLiteral("停止查询");
const QString kCompletedText = QStringLiteral("所有域名已查询完毕!");
const QString kEmptyQueueText = QStringLiteral("请先导入要查询的域名");
const QString kWelcomeText = QStringLiteral("当前为最新版本,欢迎使用澜序软件..");

} // namespace

Form1::Form1(WindowOps &window, GetFunction get, QString queryBaseUrl)
    : window_(window)
    , get_(std::move(get))
    , queryBaseUrl_(std::move(queryBaseUrl)) {}

void Form1::Command1_Click() {
    shoulu::Command1_Click(window_, [this](int index) { select(index); });
}

bool Form1::OLEDragOver(const DragData &data, bool overQueue) const {
    if (!data.files.isEmpty()) {
        return window_.isButtonEnabled(ButtonId::Command1);
    }
    return overQueue && !data.text.isEmpty() && queueEditable();
}

void Form1::OLEDragDrop(const DragData &data, bool overQueue) {
    if (!OLEDragOver(data, overQueue)) {
        return;
    }
    if (data.files.size() > 1) {
        window_.setPanelText(kMessagePanel, QStringLiteral("一次只能拖入一个文件"));
    } else if (data.files.size() == 1) {
        ImportListFile(window_, data.files.first(), [this](int index) { select(index); });
    } else {
        PasteText(window_, data.text);
    }
}

void Form1::Command2_Click() {
    if (window_.queueCount() == 0) {
        window_.setPanelText(kMessagePanel, kEmptyQueueText);
        window_.messageBox(kEmptyQueueText, kEmptyQueueTitle, MessageButtons::Ok);
        return;
    }
    const QString caption = window_.buttonCaption(ButtonId::Command2);
    if (caption == kIdleCaption) {
        startBatch(false);
    } else if (caption == kRunningCaption) {
        stopBatch();
    }
}

bool Form1::queueEditable() const {
    return !batchRunning_;
}

bool Form1::hasResults() const {
    return window_.rowCount() > 0;
}

bool Form1::resultsSortable() const {
    return !batchRunning_;
}

bool Form1::canRecheck() const {
    return !batchRunning_ && !unanswered_.toRecheck().isEmpty() &&
           window_.buttonCaption(ButtonId::Command2) == kIdleCaption;
}

void Form1::recheckFailed() {
    if (!canRecheck()) {
        return;
    }
    QStringList domains = unanswered_.toRecheck();
    // The 16-bit queue takes no more; the rest is told as an import tells its overflow.
    const qsizetype leftOut = std::max<qsizetype>(domains.size() - kMaxQueueEntries, 0);
    domains.resize(domains.size() - leftOut);
    window_.clearQueue();
    window_.appendQueueEntries(domains);
    if (leftOut > 0) {
        window_.messageBox(OverflowMessage(leftOut), kNoticeTitle, MessageButtons::Ok);
    }
    startBatch(true);
}

void Form1::startBatch(bool keepRows) {
    window_.setButtonCaption(ButtonId::Command2, kRunningCaption);
    window_.keepAwake(true);
    window_.setQueueEnabled(false);
    if (!keepRows) {
        window_.clearRows();
    }
    unanswered_.clear();
    completed_ = false;
    queryGate_ = true;
    batchRunning_ = true;
    const quint32 batch = ++batchStarts_;
    reportProgress();
    select(0);
    // A stop (or a stop and a new start) pressed while the first query waited has already set
    // the window; the timer must not bring this batch back to life.
    if (!batchRunning_ || batchStarts_ != batch) {
        return;
    }
    window_.setTimerInterval(TimerId::Timer1, window_.sliderValue() * 1000);
    window_.setTimerEnabled(TimerId::Timer1, true);
    window_.setSliderEnabled(false);
}

void Form1::stopBatch() {
    // 补查 takes up what the stop left: the entries after the one selected last.
    QStringList unreached;
    for (int i = batchPos_ + 1; i < window_.queueCount(); ++i) {
        unreached.append(window_.queueEntry(i));
    }
    unanswered_.setUnreached(std::move(unreached));
    returnToIdle();
}

void Form1::select(int index) {
    if (index < 0 || index >= window_.queueCount()) {
        return;
    }
    window_.highlightQueueEntry(index);
    List1_Click();
}

void Form1::List1_DblClick() {
    const int selected = window_.selectedIndex();
    if (selected >= 0) {
        window_.removeQueueEntry(selected);
    }
}

void Form1::List1_MouseDown() {
    if (window_.queueCount() == 0) {
        Command1_Click();
    }
}

void Form1::Timer1_Timer() {
    const int count = window_.queueCount();
    if (count < 2 || batchPos_ + 1 >= count) {
        completeBatch();
        return;
    }
    const quint32 batch = batchStarts_;
    ++batchPos_;
    reportProgress();
    select(batchPos_);
    // The batch ends by its own position, not by the selection: an entry added and queried
    // meanwhile is selected last without being the batch's end. A tick run inside the query's
    // wait may have completed the batch already; the completion is then told again, over the
    // late query's text. A stop or a new start meanwhile stands.
    if (batchStarts_ != batch) {
        return;
    }
    if (batchRunning_ ? batchPos_ + 1 >= window_.queueCount() : completed_) {
        completeBatch();
    }
}

void Form1::Slider1_Scroll() {
    window_.setLabel2Caption(QString::number(window_.sliderValue()) + QStringLiteral("秒/次"));
}

void Form1::init() {
    window_.setButtonEnabled(ButtonId::Command2, true);
    window_.setPanelText(kMessagePanel, kWelcomeText);
}

void Form1::cx() {
    reportProgress(); // the entry just added counts in a running batch's share
    queryGate_ = true;
    select(window_.queueCount() - 1);
    // The gate ends as the batch state now is rather than as it was found: a batch may have
    // been started or stopped while the query waited.
    queryGate_ = batchRunning_;
}

void Form1::completeBatch() {
    const QString text =
        unanswered_.failureCount() == 0
            ? kCompletedText
            : kCompletedText + QStringLiteral(" 其中%1个未查到").arg(unanswered_.failureCount());
    window_.setPanelText(kMessagePanel, text);
    returnToIdle();
    completed_ = true;
    window_.requestAttention();
}

void Form1::returnToIdle() {
    window_.setTimerEnabled(TimerId::Timer1, false);
    window_.setQueueEnabled(true);
    window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
    queryGate_ = false;
    window_.setSliderEnabled(true);
    batchPos_ = 0;
    batchRunning_ = false;
    window_.keepAwake(false);
    window_.showBatchProgress(0, 0);
}

void Form1::reportProgress() {
    if (!batchRunning_) {
        return;
    }
    // A shorter list imported meanwhile may leave the position past its end.
    const int total = window_.queueCount();
    window_.showBatchProgress(std::min(batchPos_ + 1, total), total);
}

} // namespace shoulu
