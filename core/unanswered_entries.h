#pragma once

#include "core/result_row.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace shoulu {

// The entries of one batch that gave no row: the failed queries, then the entries skipped for
// want of an accepted suffix, and, after a stop, the entries the batch never reached. An entry
// counts once whichever way it came up again (selected by an import, then reached by the
// batch): querying the same text twice asks the same question.
class UnansweredEntries {
public:
    void clear();

    // A failure of an entry already listed keeps its place and takes the newer reason.
    void addFailure(const QString &domain, const QString &reason);
    // The entry was answered after all.
    void removeFailure(const QString &domain);
    void addSkipped(const QString &domain);
    void setUnreached(QStringList domains) { unreached_ = std::move(domains); }

    qsizetype failureCount() const { return failures_.size(); }
    qsizetype skippedCount() const { return skipped_.size(); }
    bool isEmpty() const { return failures_.isEmpty() && skipped_.isEmpty(); }

    // What the list shows: the failures in the order they first failed, then the skipped entries
    // with "域名不正确".
    QList<FailedEntry> listed() const;
    // What 补查 queries: the failures, then the entries a stopped batch never reached that are not
    // among them. Skipped entries would only be skipped again.
    QStringList toRecheck() const;

private:
    QList<FailedEntry> failures_;
    QHash<QString, qsizetype> failureIndex_; // domain to its place in failures_
    QStringList skipped_;
    QSet<QString> skippedSet_;
    QStringList unreached_;
};

// "，另有S个域名不正确，未查询" after a count of failures, or nothing when none was skipped.
QString SkippedNote(qsizetype skipped);

} // namespace shoulu
