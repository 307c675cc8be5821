#include "core/batch_ledger.h"

#include "core/domain_rules.h"

namespace shoulu {

namespace {
const QString kSkipReason = QStringLiteral("域名不正确");
const QString kNotReachedReason = QStringLiteral("未查询");
const QString kWaitingReason = QStringLiteral("查询中");
} // namespace

BatchLedger::BatchLedger(const QStringList &entries, quint32 serial)
    : serial_(serial)
    , running_(true) {
    entries_.reserve(entries.size());
    for (const QString &domain : entries) {
        entries_.append({domain, Fate::NotReached, {}});
    }
}

void BatchLedger::finish(bool completed) {
    running_ = false;
    completed_ = completed;
}

void BatchLedger::append(const QString &domain) {
    entries_.append({domain, Fate::NotReached, {}});
}

void BatchLedger::moveTo(int index) {
    if (index > position_ && index < size()) {
        position_ = index;
    }
}

void BatchLedger::setWaiting(int index) {
    Entry &entry = entries_[index];
    if (entry.fate == Fate::NotReached) {
        entry.fate = Fate::Waiting;
    }
}

void BatchLedger::setAnswered(int index) {
    entries_[index].fate = Fate::Answered;
    entries_[index].reason.clear();
}

void BatchLedger::setFailed(int index, const QString &reason) {
    Entry &entry = entries_[index];
    if (entry.fate != Fate::Answered) {
        entry.fate = Fate::Failed;
        entry.reason = reason;
    }
}

void BatchLedger::setSkipped(int index) {
    entries_[index].fate = Fate::Skipped;
}

BatchLedger::Heading BatchLedger::headingOf(const Entry &entry) const {
    switch (entry.fate) {
    case Fate::Failed:
        return Heading::Failed;
    case Fate::Skipped:
        return Heading::Skipped;
    case Fate::Answered:
        return Heading::None;
    case Fate::Waiting:
        return running_ ? Heading::None : Heading::Unanswered;
    case Fate::NotReached:
        break;
    }
    // An entry not reached is told only once the batch is over; one without an accepted suffix
    // would only have been skipped.
    if (running_) {
        return Heading::None;
    }
    return HasDomainSuffix(entry.domain) ? Heading::Unanswered : Heading::Skipped;
}

BatchLedger::Tally BatchLedger::tally() const {
    Tally tally;
    for (const Entry &entry : entries_) {
        switch (headingOf(entry)) {
        case Heading::Failed:
            ++tally.failed;
            break;
        case Heading::Unanswered:
            ++tally.unanswered;
            break;
        case Heading::Skipped:
            ++tally.skipped;
            break;
        case Heading::None:
            break;
        }
    }
    return tally;
}

bool BatchLedger::isEmpty() const {
    const Tally counts = tally();
    return counts.failed + counts.unanswered + counts.skipped == 0;
}

QList<FailedEntry> BatchLedger::listed() const {
    QList<FailedEntry> listed;
    for (const Heading heading : {Heading::Failed, Heading::Unanswered, Heading::Skipped}) {
        for (const Entry &entry : entries_) {
            if (headingOf(entry) != heading) {
                continue;
            }
            QString reason = entry.reason;
            if (heading == Heading::Skipped) {
                reason = kSkipReason;
            } else if (heading == Heading::Unanswered) {
                reason = entry.fate == Fate::Waiting ? kWaitingReason : kNotReachedReason;
            }
            listed.append({entry.domain, reason});
        }
    }
    return listed;
}

QStringList BatchLedger::domainsUnder(Heading heading) const {
    QStringList domains;
    for (const Entry &entry : entries_) {
        if (headingOf(entry) == heading) {
            domains.append(entry.domain);
        }
    }
    return domains;
}

QStringList BatchLedger::toRecheck() const {
    if (running_) {
        return {};
    }
    return domainsUnder(Heading::Failed) + domainsUnder(Heading::Unanswered);
}

QString UnansweredNote(const BatchLedger::Tally &tally) {
    QString note;
    if (tally.unanswered > 0) {
        note += QStringLiteral("，另有%1个域名未查询").arg(tally.unanswered);
    }
    if (tally.skipped > 0) {
        note += QStringLiteral("，另有%1个域名不正确，未查询").arg(tally.skipped);
    }
    return note;
}

} // namespace shoulu
