#include "core/form1.h"

#include "core/domain_import.h"
#include "core/domain_rules.h"
#include "core/window_ops.h"
#include "net/json_access.h"
#include "net/protocol.h"

#include <QJsonObject>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace shoulu {

namespace {

const QString kIdleCaption = QStringLiteral("批量查询");
const QString kRunningCaption = QStringLiteral("停止查询");
const QString kToolTipPrefix = QStringLiteral("双击列表删除:");
const QString kSkipText = QStringLiteral("域名不正确,自动跳转下一个..");
const QString kCompletedText = QStringLiteral("所有域名已查询完毕!");
const QString kEmptyQueueText = QStringLiteral("请先导入要查询的域名");
const QString kWelcomeText = QStringLiteral("当前为最新版本,欢迎使用澜序软件..");
const QString kUnreadableAnswer = QStringLiteral("返回内容无法识别");
// A service message longer than this is cut: the panel has room for one short line.
constexpr qsizetype kMaxReasonLength = 60;

// The row made of the seven answer members, or nothing when one is missing.
std::optional<ResultRow> ReadQueryRow(const QJsonObject &object) {
    const std::optional<QString> domain = MemberText(object, QStringLiteral("info.web.domain"));
    if (!domain) {
        return std::nullopt;
    }
    ResultRow row{*domain, {}};
    const std::array<QLatin1String, 3> engines = {QLatin1String("bd"), QLatin1String("so"),
                                                  QLatin1String("bing")};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const QString base = QStringLiteral("info.") + engines[i];
        const std::optional<QString> site = MemberText(object, base + QStringLiteral(".site"));
        const std::optional<QString> links = MemberText(object, base + QStringLiteral(".domain"));
        if (!site || !links) {
            return std::nullopt;
        }
        row.engines[i] = *site + kEngineSeparator + *links;
    }
    return row;
}

QString ReasonOf(HttpFailure failure) {
    switch (failure) {
    case HttpFailure::TimedOut:
        return QStringLiteral("查询服务无响应");
    case HttpFailure::TlsFailed:
        return QStringLiteral("证书校验失败");
    case HttpFailure::TooLarge:
    case HttpFailure::BadContent:
        return kUnreadableAnswer;
    default:
        return QStringLiteral("无法连接查询服务");
    }
}

// The service's own word when it refused, on one short line; else that the answer was unusable.
QString ReasonOfAnswer(const QJsonObject &object) {
    QString message = MemberText(object, QStringLiteral("message")).value_or(QString());
    message = message.simplified();
    if (message.isEmpty()) {
        return kUnreadableAnswer;
    }
    if (message.size() > kMaxReasonLength) {
        message = message.left(kMaxReasonLength) + QStringLiteral("…");
    }
    return message;
}

} // namespace

Form1::Form1(WindowOps &window, GetFunction get, QString queryBaseUrl)
    : window_(window)
    , get_(std::move(get))
    , queryBaseUrl_(std::move(queryBaseUrl)) {}

void Form1::Command1_Click() {
    shoulu::Command1_Click(window_, [this](int index) { select(index); });
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
    window_.setQueueEnabled(false);
    if (!keepRows) {
        window_.clearRows();
    }
    unanswered_.clear();
    completed_ = false;
    queryGate_ = true;
    batchRunning_ = true;
    const quint32 batch = ++batchStarts_;
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
    window_.setQueueEnabled(true);
    queryGate_ = false;
    batchPos_ = 0;
    window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
    window_.setTimerEnabled(TimerId::Timer1, false);
    window_.setSliderEnabled(true);
    batchRunning_ = false;
}

void Form1::select(int index) {
    if (index < 0 || index >= window_.queueCount()) {
        return;
    }
    window_.highlightQueueEntry(index);
    List1_Click();
}

void Form1::List1_Click() {
    const int selected = window_.selectedIndex();
    const QString entry = selected >= 0 ? window_.queueEntry(selected) : QString();
    window_.setQueueToolTip(kToolTipPrefix + entry);
    if (!queryGate_ || selected < 0) {
        return;
    }
    if (HasDomainSuffix(entry)) {
        query(entry);
    } else {
        skipFailingRun(entry, selected);
    }
}

// A run of failing entries is passed over in one loop and the next passing entry is selected
// once; a nested selection per entry would overflow the stack on a long run.
void Form1::skipFailingRun(const QString &entry, int selected) {
    // Only a batch keeps a list; cx alone does not.
    const quint32 batch = batchRunning_ ? batchStarts_ : 0;
    if (isCurrent(batch)) {
        unanswered_.addSkipped(entry);
    }
    window_.setPanelText(kMessagePanel, kSkipText);
    const int count = window_.queueCount();
    while (batchPos_ + 1 < count) {
        ++batchPos_;
        const QString next = window_.queueEntry(batchPos_);
        if (HasDomainSuffix(next)) {
            select(batchPos_);
            return;
        }
        if (isCurrent(batch)) {
            unanswered_.addSkipped(next);
        }
        window_.setPanelText(kMessagePanel, kSkipText);
    }
    // The run reached the end: its last entry stays selected, as each skip would have left it.
    // A position past a shorter queue (imported meanwhile) leaves the selection, and its
    // tooltip, as they are.
    if (batchPos_ != selected && batchPos_ < count) {
        window_.highlightQueueEntry(batchPos_);
        window_.setQueueToolTip(kToolTipPrefix + window_.queueEntry(batchPos_));
    }
}

void Form1::query(const QString &entry) {
    const quint32 batch = batchRunning_ ? batchStarts_ : 0;
    // Ticks, stops and imports may run inside this call; nothing read before it is trusted
    // after it.
    const HttpResult result = get_(QueryUrl(queryBaseUrl_, entry));
    std::optional<ResultRow> row;
    QString reason;
    if (!result.answered()) {
        reason = ReasonOf(result.failure);
    } else if (const std::optional<QJsonObject> object = toObject(result.body)) {
        row = ReadQueryRow(*object);
        if (!row) {
            reason = ReasonOfAnswer(*object);
        }
    } else {
        reason = kUnreadableAnswer;
    }
    if (!row) {
        if (isCurrent(batch)) {
            unanswered_.addFailure(entry, reason);
        }
        // Named after its own entry: the selection may have moved on during the wait.
        reportQuery(entry, QStringLiteral("查询失败(") + reason + QLatin1Char(')'));
        return;
    }
    if (isCurrent(batch)) {
        unanswered_.removeFailure(entry); // answered after all
    }
    const int rowIndex = window_.appendRow();
    window_.setRowText(rowIndex, row->domain);
    for (int subItem = 1; subItem <= 3; ++subItem) {
        window_.setRowSubItem(rowIndex, subItem, row->engines[subItem - 1]);
    }
    const int selected = window_.selectedIndex();
    reportQuery(selected >= 0 ? window_.queueEntry(selected) : QString(),
                QStringLiteral("查询完毕"));
}

// The counts are those of the queue and selection as they are now, after the wait.
void Form1::reportQuery(const QString &entry, const QString &outcome) {
    const int selected = window_.selectedIndex();
    const int count = window_.queueCount();
    window_.setPanelText(kMessagePanel,
                         entry + outcome + QStringLiteral(" | 共：") + QString::number(count) +
                             QStringLiteral("个域名 | 剩余查询：") +
                             QString::number(count - selected - 1) + QStringLiteral("个"));
}

bool Form1::isCurrent(quint32 batch) const {
    // Batch 0 stands for no batch; a query that outlived its batch into the next one adds
    // nothing to the new list.
    return batch != 0 && batch == batchStarts_;
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
    window_.setTimerEnabled(TimerId::Timer1, false);
    window_.setQueueEnabled(true);
    window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
    queryGate_ = false;
    window_.setSliderEnabled(true);
    batchPos_ = 0;
    batchRunning_ = false;
    completed_ = true;
}

} // namespace shoulu
