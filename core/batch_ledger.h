#pragma once

#include "core/result_row.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace shoulu {

// What became of every entry of one batch: its starting queue and the entries added to the queue
// while it runs, each not reached yet, waiting for its answer, answered, failed (with the
// reason) or skipped for want of an accepted suffix; and the batch's position, the index of the
// entry it selected last. Form1 starts one per batch, and only the batch moves the position.
// Everything the window says about a batch is read from here.
//
// A batch of thousands is mostly answered: an entry costs a byte, and only the entries the list
// names keep their text.
class BatchLedger {
public:
    enum class Fate : quint8 { NotReached, Waiting, Answered, Failed, Skipped };

    // How many entries are listed under each heading: failed queries, entries without an answer
    // once the batch is over (not reached or still waiting), entries without an accepted suffix.
    struct Tally {
        qsizetype failed = 0;
        qsizetype unanswered = 0;
        qsizetype skipped = 0;
        qsizetype listed() const { return failed + unanswered + skipped; }
    };

    BatchLedger() = default; // no batch has run
    // A batch starting over a queue of size entries; serial tells it from every other batch.
    BatchLedger(int size, quint32 serial);

    quint32 serial() const { return serial_; }
    bool running() const { return running_; }
    // Whether the batch ran to its end rather than being stopped.
    bool completed() const { return completed_; }
    // Ends the batch; domainAt names the entries that have no answer yet, which the list will
    // show.
    void finish(bool completed, const std::function<QString(int)> &domainAt);

    // The entries the batch holds; with those added while it runs.
    int size() const { return static_cast<int>(fates_.size()); }
    // The index of the entry the batch selected last; 0 whenever it does not run.
    int position() const { return running_ ? position_ : 0; }
    // How many of its entries the running batch has reached; 0 whenever it does not run.
    int reached() const { return running_ ? position_ + 1 : 0; }
    // Entries still to come after the position.
    int remaining() const { return running_ ? size() - reached() : 0; }

    // Entries appended to the queue while the batch runs: it holds size entries now.
    void grow(int size);
    // Forward only, within the entries.
    void moveTo(int index);

    // An answer outranks any failure: the same question was answered. An entry asked again
    // keeps its failure until it is answered.
    void setWaiting(int index);
    void setAnswered(int index);
    void setFailed(int index, const QString &domain, const QString &reason);
    void setSkipped(int index, const QString &domain);

    Tally tally() const;
    bool isEmpty() const;
    // The failures with their reasons; once the batch is over, the entries without an answer
    // ("未查询", or "查询中" while the answer is still awaited); then the entries without an
    // accepted suffix ("域名不正确"). Each in queue order.
    QList<FailedEntry> listed() const;
    // What 补查 queues, once the batch is over: the failures, then the entries without an answer,
    // in queue order. Entries without an accepted suffix would only be skipped again.
    QStringList toRecheck() const;

private:
    enum class Heading { None, Failed, Unanswered, Skipped };
    Heading headingOf(int index) const;
    QStringList domainsUnder(Heading heading) const;

    QList<Fate> fates_;
    QHash<int, QString> domains_; // the entries the list may name
    QHash<int, QString> reasons_; // why a failed entry failed
    quint32 serial_ = 0;
    int position_ = 0;
    bool running_ = false;
    bool completed_ = false;
};

// "，另有N个域名未查询" and "，另有S个域名不正确，未查询" after a count of failures; each only
// when there are such entries.
QString UnansweredNote(const BatchLedger::Tally &tally);

} // namespace shoulu
