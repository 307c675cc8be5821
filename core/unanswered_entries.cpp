#include "core/unanswered_entries.h"

namespace shoulu {

namespace {
const QString kSkipReason = QStringLiteral("域名不正确");
} // namespace

void UnansweredEntries::clear() {
    *this = UnansweredEntries();
}

void UnansweredEntries::addFailure(const QString &domain, const QString &reason) {
    const auto found = failureIndex_.constFind(domain);
    if (found != failureIndex_.cend()) {
        failures_[*found].reason = reason;
        return;
    }
    failureIndex_.insert(domain, failures_.size());
    failures_.append({domain, reason});
}

void UnansweredEntries::removeFailure(const QString &domain) {
    const auto found = failureIndex_.constFind(domain);
    if (found == failureIndex_.cend()) {
        return;
    }
    failures_.removeAt(*found);
    failureIndex_.clear();
    for (qsizetype i = 0; i < failures_.size(); ++i) {
        failureIndex_.insert(failures_[i].domain, i);
    }
}

void UnansweredEntries::addSkipped(const QString &domain) {
    if (!skippedSet_.contains(domain)) {
        skippedSet_.insert(domain);
        skipped_.append(domain);
    }
}

QList<FailedEntry> UnansweredEntries::listed() const {
    QList<FailedEntry> entries = failures_;
    entries.reserve(failures_.size() + skipped_.size());
    for (const QString &domain : skipped_) {
        entries.append({domain, kSkipReason});
    }
    return entries;
}

QStringList UnansweredEntries::toRecheck() const {
    QStringList domains;
    domains.reserve(failures_.size() + unreached_.size());
    for (const FailedEntry &entry : failures_) {
        domains.append(entry.domain);
    }
    for (const QString &domain : unreached_) {
        if (!failureIndex_.contains(domain)) {
            domains.append(domain);
        }
    }
    return domains;
}

QString SkippedNote(qsizetype skipped) {
    return skipped > 0 ? QStringLiteral("，另有%1个域名不正确，未查询").arg(skipped) : QString();
}

} // namespace shoulu
