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
    if (!queryGate() || selected < 0) {
        return;
    }
    takeAddedEntries();
    if (HasDomainSuffix(entry)) {
        query(selected, entry);
    } else {
        skipFailingRun(selected);
    }
}

// A run of failing entries is passed over in one loop and the next passing entry is selected
// once; a nested selection per entry would overflow the stack on a long run. The batch's
// position follows only the batch's own run, never one that a click or cx started.
void Form1::skipFailingRun(int selected) {
    const bool batchRun = ledger_.running() && selected == ledger_.position();
    const auto skip = [this](int index) {
        if (ledger_.running() && index < ledger_.size()) {
            ledger_.setSkipped(index, window_.queueEntry(index));
        }
        window_.setPanelText(kMessagePanel, kSkipText);
    };
    skip(selected);
    const int count = window_.queueCount();
    int at = selected;
    while (at + 1 < count) {
        ++at;
        if (batchRun) {
            ledger_.moveTo(at);
        }
        if (HasDomainSuffix(window_.queueEntry(at))) {
            if (batchRun) {
                reportProgress();
            }
            select(at);
            return;
        }
        skip(at);
    }
    // The run reached the end: its last entry stays selected, as each skip would have left it.
    if (at != selected) {
        window_.highlightQueueEntry(at);
        window_.setQueueToolTip(kToolTipPrefix + window_.queueEntry(at));
    }
}

void Form1::query(int index, const QString &entry) {
    // Only a running batch's queries count in its ledger; cx alone keeps none.
    const quint32 batch = ledger_.running() && index < ledger_.size() ? ledger_.serial() : 0;
    if (batch != 0) {
        ledger_.setWaiting(index);
    }
    // Ticks, stops and imports may run inside this call; nothing read before it is trusted
    // after it.
    const QueryOutcome outcome = ReadQueryOutcome(get_(QueryUrl(queryBaseUrl_, entry)));
    // A query that outlived its batch into the next one adds nothing to the new ledger.
    const bool counted = batch != 0 && ledger_.serial() == batch;
    if (!outcome.row) {
        if (counted) {
            ledger_.setFailed(index, entry, outcome.reason);
        }
        // Named after its own entry, with what its batch has still to come: the selection may
        // have moved on during the wait.
        reportQuery(entry, QStringLiteral("查询失败(") + outcome.reason + QLatin1Char(')'),
                    ledger_.remaining());
        return;
    }
    if (counted) {
        ledger_.setAnswered(index);
    }
    const int rowIndex = window_.appendRow();
    window_.setRowText(rowIndex, outcome.row->domain);
    for (int subItem = 1; subItem <= 3; ++subItem) {
        window_.setRowSubItem(rowIndex, subItem, outcome.row->engines[subItem - 1]);
    }
    const int selected = window_.selectedIndex();
    reportQuery(selected >= 0 ? window_.queueEntry(selected) : QString(),
                QStringLiteral("查询完毕"), window_.queueCount() - selected - 1);
}

// The count is that of the queue as it is now, after the wait.
void Form1::reportQuery(const QString &entry, const QString &outcome, int remaining) {
    window_.setPanelText(kMessagePanel, entry + outcome + QStringLiteral(" | 共：") +
                                            QString::number(window_.queueCount()) +
                                            QStringLiteral("个域名 | 剩余查询：") +
                                            QString::number(remaining) + QStringLiteral("个"));
}

} // namespace shoulu
