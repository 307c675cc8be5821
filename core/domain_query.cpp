// Form1's query of one domain: what a selection does (List1_Click), the skip over entries
// without an accepted suffix, the request and the row or failure it leaves.
#include "core/domain_rules.h"
#include "core/form1.h"
#include "core/query_answer.h"
#include "core/window_ops.h"
#include "net/protocol.h"

namespace shoulu {

namespace {

const QString kToolTipPrefix = QStringLiteral("双击列表删除:");
const QString kSkipText = QStringLiteral("域名不正确,自动跳转下一个..");

} // namespace

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
    const quint32 batch = currentBatch();
    const auto skip = [&](const QString &skipped) {
        if (isCurrent(batch)) {
            unanswered_.addSkipped(skipped);
        }
        window_.setPanelText(kMessagePanel, kSkipText);
    };
    skip(entry);
    const int count = window_.queueCount();
    while (batchPos_ + 1 < count) {
        ++batchPos_;
        const QString next = window_.queueEntry(batchPos_);
        if (HasDomainSuffix(next)) {
            reportProgress();
            select(batchPos_);
            return;
        }
        skip(next);
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
    const quint32 batch = currentBatch();
    // Ticks, stops and imports may run inside this call; nothing read before it is trusted
    // after it.
    const QueryOutcome outcome = ReadQueryOutcome(get_(QueryUrl(queryBaseUrl_, entry)));
    if (!outcome.row) {
        if (isCurrent(batch)) {
            unanswered_.addFailure(entry, outcome.reason);
        }
        // Named after its own entry: the selection may have moved on during the wait.
        reportQuery(entry, QStringLiteral("查询失败(") + outcome.reason + QLatin1Char(')'));
        return;
    }
    if (isCurrent(batch)) {
        unanswered_.removeFailure(entry); // answered after all
    }
    const int rowIndex = window_.appendRow();
    window_.setRowText(rowIndex, outcome.row->domain);
    for (int subItem = 1; subItem <= 3; ++subItem) {
        window_.setRowSubItem(rowIndex, subItem, outcome.row->engines[subItem - 1]);
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

quint32 Form1::currentBatch() const {
    // Only a batch keeps a list; cx alone does not.
    return batchRunning_ ? batchStarts_ : 0;
}

bool Form1::isCurrent(quint32 batch) const {
    // Batch 0 stands for no batch; a query that outlived its batch into the next one adds
    // nothing to the new list.
    return batch != 0 && batch == batchStarts_;
}

} // namespace shoulu
