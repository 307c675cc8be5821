#include "core/batch_ledger.h"

#include "core/domain_rules.h"

namespace shoulu {

namespace {
const QString kSkipReason = QStringLiteral("域名不正确");
const QString kNotReachedReason = QStringLiteral("未查询");
const QString kWaitingReason = QStringLiteral("查询中");
} // namespace

BatchLedger::BatchLedger(int size, quint32 serial)
    : fates_(size, Fate::NotReached)
    , serial_(serial)
    , running_(true) {}

void BatchLedger::finish(bool completed, const std::function<QString(int)> &domainAt) {
    running_ = false;
    completed_ = completed;
    for (int i = 0; i < size(); ++i) {
        if (fates_[i] == Fate::NotReached || fates_[i] == Fate::Waiting) {
            domains_.insert(i, domainAt(i));
        }
    }
}

void BatchLedger::grow(int size) {
    if (size > this->size()) {
        fates_.resize(size, Fate::NotReached);
    }
}

void BatchLedger::moveTo(int index) {
    if (index > position_ && index < size()) {
        position_ = index;
    }
}

void BatchLedger::setWaiting(int index) {
    if (fates_[index] == Fate::NotReached) {
        fates_[index] = Fate::Waiting;
    }
}

void BatchLedger::setAnswered(int index) {
    fates_[index] = Fate::Answered;
    reasons_.remove(index);
}

void BatchLedger::setFailed(int index, const QString &domain, const QString &reason) {
    if (fates_[index] != Fate::Answered) {
        fates_[index] = Fate::Failed;
        domains_.insert(index, domain);
        reasons_.insert(index, reason);
    }
}

void BatchLedger::setSkipped(int index, const QString &domain) {
    fates_[index] = Fate::Skipped;
    domains_.insert(index, domain);
}

BatchLedger::Heading BatchLedger::headingOf(int index) const {
    switch (fates_[index]) {
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
    return HasDomainSuffix(domains_.value(index)) ? Heading::Unanswered : Heading::Skipped;
}

BatchLedger::Tally BatchLedger::tally() const {
    Tally tally;
    for (int i = 0; i < size(); ++i) {
        switch (headingOf(i)) {
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
    return tally().listed() == 0;
}

QList<FailedEntry> BatchLedger::listed() const {
    QList<FailedEntry> listed;
    for (const Heading heading : {Heading::Failed, Heading::Unanswered, Heading::Skipped}) {
        for (int i = 0; i < size(); ++i) {
            if (headingOf(i) != heading) {
                continue;
            }
            QString reason = reasons_.value(i);
            if (heading == Heading::Skipped) {
                reason = kSkipReason;
            } else if (heading == Heading::Unanswered) {
                reason = fates_[i] == Fate::Waiting ? kWaitingReason : kNotReachedReason;
            }
            listed.append({domains_.value(i), reason});
        }
    }
    return listed;
}

QStringList BatchLedger::domainsUnder(Heading heading) const {
    QStringList domains;
    for (int i = 0; i < size(); ++i) {
        if (headingOf(i) == heading) {
            domains.append(domains_.value(i));
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
