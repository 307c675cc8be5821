#include "core/form1.h"

#include "core/domain_import.h"
#include "core/queue_tools.h"
#include "core/window_ops.h"

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
    shoulu::Command1_Click(
        window_, [this](int index) { select(index); }, [this] { releaseQueue(); });
}

// An import replaces the entries a running batch walks: the batch is stopped first, so what it
// has not reached stays in its ledger for 补查.
void Form1::releaseQueue() {
    if (ledger_.running()) {
        stopBatch();
    }
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
        ImportListFile(
            window_, data.files.first(), [this](int index) { select(index); },
            [this] { releaseQueue(); });
    } else {
        PasteText(window_, data.text, TextSource::Drop);
    }
}

void Form1::Command2_Click() {
    if (window_.queueCount() == 0) {
        window_.setPanelText(kMessagePanel, kEmptyQueueText);
        window_.messageBox(kEmptyQueueText, kEmptyQueueTitle, MessageButtons::Ok);
        return;
    }
    if (ledger_.running()) {
        stopBatch();
    } else {
        startBatch(false);
    }
}

bool Form1::queueEditable() const {
    return !ledger_.running();
}

bool Form1::hasResults() const {
    return window_.rowCount() > 0;
}

bool Form1::resultsSortable() const {
    return !ledger_.running();
}

bool Form1::canRecheck() const {
    return !ledger_.toRecheck().isEmpty();
}

void Form1::recheckFailed() {
    // The ledger holds no more entries than the queue did, so they fit.
    const QStringList domains = ledger_.toRecheck();
    if (domains.isEmpty()) {
        return;
    }
    window_.clearQueue();
    window_.appendQueueEntries(domains);
    startBatch(true);
}

void Form1::startBatch(bool keepRows) {
    ledger_ = BatchLedger(window_.queueCount(), ++batchStarts_);
    window_.setButtonCaption(ButtonId::Command2, kRunningCaption);
    window_.keepAwake(true);
    window_.setQueueEnabled(false);
    if (!keepRows) {
        window_.clearRows();
    }
    const quint32 batch = ledger_.serial();
    reportProgress();
    select(0);
    // A stop (or a stop and a new start) pressed while the first query waited has already set
    // the window; the timer must not bring this batch back to life.
    if (!ledger_.running() || ledger_.serial() != batch) {
        return;
    }
    window_.setTimerInterval(TimerId::Timer1, window_.sliderValue() * 1000);
    window_.setTimerEnabled(TimerId::Timer1, true);
    window_.setSliderEnabled(false);
}

void Form1::stopBatch() {
    endBatch(false);
}

void Form1::takeAddedEntries() {
    if (ledger_.running() && window_.queueCount() > ledger_.size()) {
        ledger_.grow(window_.queueCount());
        reportProgress();
    }
}

void Form1::select(int index) {
    if (index < 0 || index >= window_.queueCount()) {
        return;
    }
    window_.highlightQueueEntry(index);
    List1_Click();
}

void Form1::List1_DblClick() {
    // The queue is disabled while a batch runs; a double-click whose first click started one
    // must not take an entry from under it.
    const int selected = window_.selectedIndex();
    if (selected >= 0 && queueEditable()) {
        window_.removeQueueEntry(selected);
    }
}

void Form1::List1_MouseDown() {
    if (window_.queueCount() == 0) {
        Command1_Click();
    }
}

void Form1::Timer1_Timer() {
    if (!ledger_.running()) {
        return; // a tick that was due when the batch ended
    }
    takeAddedEntries();
    const int next = ledger_.position() + 1;
    if (next >= ledger_.size()) {
        completeBatch();
        return;
    }
    const quint32 batch = ledger_.serial();
    ledger_.moveTo(next);
    reportProgress();
    select(next);
    // The batch ends by its own position, not by the selection: an entry added and queried
    // meanwhile is selected last without being the batch's end. A tick run inside the query's
    // wait may have completed the batch already; the completion is then told again, over the
    // late query's text. A stop or a new start meanwhile stands.
    if (ledger_.serial() != batch) {
        return;
    }
    takeAddedEntries();
    if (ledger_.running() ? ledger_.position() + 1 >= ledger_.size() : ledger_.completed()) {
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
    ++immediateQueries_;
    select(window_.queueCount() - 1);
    --immediateQueries_;
}

void Form1::completeBatch() {
    const qsizetype failed = ledger_.tally().failed;
    window_.setPanelText(kMessagePanel,
                         failed == 0
                             ? kCompletedText
                             : kCompletedText + QStringLiteral(" 其中%1个未查到").arg(failed));
    if (ledger_.running()) {
        endBatch(true);
        window_.requestAttention();
    }
}

void Form1::endBatch(bool completed) {
    takeAddedEntries();
    // The queue is disabled while a batch runs: it still holds the batch's entries.
    ledger_.finish(completed, [this](int index) { return window_.queueEntry(index); });
    window_.setTimerEnabled(TimerId::Timer1, false);
    window_.setQueueEnabled(true);
    window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
    window_.setSliderEnabled(true);
    window_.keepAwake(false);
    window_.showBatchProgress(0, 0);
}

void Form1::reportProgress() {
    if (ledger_.running()) {
        window_.showBatchProgress(ledger_.reached(), ledger_.size());
    }
}

} // namespace shoulu
