#include "core/add_domain.h"
#include "core/domain_import.h"
#include "core/domain_rules.h"
#include "tests/core/query_harness.h"
#include "tests/support/temp_files.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace shoulu;
using namespace shoulu::testing;

namespace {

const QString kIdle = QStringLiteral("批量查询");
const QString kRunning = QStringLiteral("停止查询");
const QString kSkip = QStringLiteral("域名不正确,自动跳转下一个..");
const QString kDone = QStringLiteral("所有域名已查询完毕!");

QString Status(const QString &entry, int count, int remaining) {
    return QStringLiteral("%1查询完毕 | 共：%2个域名 | 剩余查询：%3个")
        .arg(entry)
        .arg(count)
        .arg(remaining);
}

QStringList RowTexts(const FakeWindow &window) {
    QStringList texts;
    for (const FakeWindow::Row &row : window.rows) {
        texts.append(row.text);
    }
    return texts;
}

// Names the first way the window differs from an idle batch; empty when it is idle.
QString IdleMismatch(const QueryHarness &h) {
    if (h.window.captions.value(ButtonId::Command2) != kIdle) {
        return QStringLiteral("caption");
    }
    if (h.form.queryGate()) {
        return QStringLiteral("gate on");
    }
    if (h.window.timerEnabled.value(TimerId::Timer1)) {
        return QStringLiteral("timer on");
    }
    if (!h.window.queueEnabled || !h.window.sliderEnabled) {
        return QStringLiteral("list or slider disabled");
    }
    if (h.form.batchPos() != 0) {
        return QStringLiteral("batchPos %1").arg(h.form.batchPos());
    }
    if (h.window.awake) {
        return QStringLiteral("wake request held");
    }
    if (!h.window.progress.isEmpty() && h.window.progress.last() != QStringLiteral("0/0")) {
        return QStringLiteral("progress shown");
    }
    return {};
}

// What the oracle saw of one batch: the queue it started with and the entries added while it
// ran, which entries it asked the service for and how those answered.
struct BatchSeen {
    QStringList entries; // the starting queue, then what was added while the batch ran
    qsizetype startSize = 0;
    QSet<QString> asked;
    QSet<QString> answered;
    QSet<QString> failed;
    qsizetype panelMark = 0;
};

// One seeded sequence of a user's actions against Form1, many of them run inside the wait of a
// query, checked against what a batch promises: a completed batch asked for every entry with an
// accepted suffix; a stopped one with entries unanswered offers 补查; 补查 queues exactly the
// entries without an answer, the failed first; no batch runs forever; the window's state is one
// of idle or running between actions. The oracle keeps its own record from the window and the
// service, not from the ledger.
class Interleaving {
public:
    Interleaving(quint32 seed, const QStringList &listFiles)
        : random_(seed)
        , listFiles_(listFiles) {
        h_.during = [this](int, const QString &entry) { duringWait(entry); };
        h_.answer = [this](const QString &entry) { return answer(entry); };
        h_.window.onCaption = [this](ButtonId button, const QString &caption) {
            if (button == ButtonId::Command2) {
                captionSet(caption);
            }
        };
    }

    // Runs the sequence; what broke first, or nothing.
    QString run() {
        QStringList queue;
        for (int i = pick(6); i >= 0; --i) {
            queue.append(newDomain());
        }
        h_.setQueue(queue);
        h_.startIdle();
        for (int step = 0; step < 10 && broken_.isEmpty(); ++step) {
            act(0);
            checkBetweenActions();
        }
        drain();
        return broken_;
    }

    QStringList trace;

private:
    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }

    // Mostly domains with an accepted suffix, each different.
    QString newDomain() {
        ++made_;
        return pick(5) == 0 ? QStringLiteral("x%1.io").arg(made_)
                            : QStringLiteral("d%1.com").arg(made_);
    }

    void breaks(const QString &what) {
        if (broken_.isEmpty()) {
            broken_ = what;
        }
    }

    void act(int depth) {
        const QString indent(depth * 2, u' ');
        const int queueSize = h_.window.queueCount();
        switch (pick(8)) {
        case 0:
        case 1:
            trace.append(indent + QStringLiteral("tick"));
            h_.window.fireTimer(TimerId::Timer1);
            break;
        case 2: {
            const bool stopping = h_.form.batchRunning();
            trace.append(indent +
                         (stopping ? QStringLiteral("停止查询") : QStringLiteral("批量查询")));
            const qsizetype before = batches_.size();
            h_.form.Command2_Click();
            if (stopping && !h_.form.batchRunning() && batches_.size() == before) {
                checkStopOffersRecheck();
            }
            break;
        }
        case 3: {
            const QString domain =
                newDomain().replace(QStringLiteral(".io"), QStringLiteral(".net"));
            const bool atOnce = pick(3) != 0;
            trace.append(indent + QStringLiteral("add %1%2").arg(domain, atOnce ? " at once" : ""));
            if (h_.form.batchRunning() && queueSize < kMaxQueueEntries) {
                batches_.last().entries.append(domain);
            }
            Form2_Command1_Click(h_.window, h_.form, domain, atOnce, {});
            break;
        }
        case 4:
        case 5:
            if (h_.window.queueEnabled && queueSize > 0) {
                const int index = pick(queueSize);
                const bool doubleClick = pick(3) == 0;
                trace.append(indent + QStringLiteral("%1 %2")
                                          .arg(doubleClick ? "double-click" : "click")
                                          .arg(h_.window.queueEntry(index)));
                h_.form.select(index);
                if (doubleClick) {
                    h_.form.List1_DblClick();
                }
            }
            break;
        case 6:
            if (h_.form.canRecheck()) {
                trace.append(indent + QStringLiteral("补查"));
                recheck();
            }
            break;
        default:
            if (!h_.form.batchRunning()) {
                const QString &file = listFiles_[pick(int(listFiles_.size()))];
                trace.append(indent + QStringLiteral("import ") + file.section(u'/', -1));
                h_.window.script.answers = {ChooseFile{file}};
                h_.form.Command1_Click();
            }
            break;
        }
        if (!h_.form.batchRunning() && h_.form.batchPos() != 0) {
            breaks(QStringLiteral("batchPos %1 while no batch runs").arg(h_.form.batchPos()));
        }
    }

    void duringWait(const QString &entry) {
        waits_.append(open_);
        if (open_ >= 0) {
            batches_[open_].asked.insert(entry);
        }
        if (acting_ && depth_ < 3 && pick(2) == 0) {
            ++depth_;
            trace.append(QString(depth_ * 2 - 2, u' ') + QStringLiteral("(waiting for ") + entry +
                         u')');
            for (int i = pick(2); i >= 0; --i) {
                act(depth_);
            }
            --depth_;
        }
    }

    HttpResult answer(const QString &entry) {
        const int batch = waits_.takeLast();
        const bool answered = pick(5) < 3;
        if (batch >= 0) {
            (answered ? batches_[batch].answered : batches_[batch].failed).insert(entry);
        }
        return answered ? Answered(FullAnswer(entry)) : HttpResult{{}, HttpFailure::ConnectFailed};
    }

    void captionSet(const QString &caption) {
        if (caption == kRunning) {
            const QStringList queue = h_.window.queue;
            batches_.append({queue, queue.size(), {}, {}, {}, h_.window.panel2History.size()});
            open_ = int(batches_.size()) - 1;
            return;
        }
        if (open_ < 0) {
            return;
        }
        const BatchSeen &batch = batches_[open_];
        open_ = -1;
        const bool completed = h_.window.panel2History.size() > batch.panelMark &&
                               h_.window.panel2History.last().startsWith(kDone);
        for (const QString &entry : batch.entries) {
            if (completed && HasDomainSuffix(entry) && !batch.asked.contains(entry)) {
                breaks(QStringLiteral("the batch completed without asking for ") + entry);
            }
        }
    }

    bool unanswered(const BatchSeen &batch, const QString &entry) const {
        return HasDomainSuffix(entry) && !batch.answered.contains(entry);
    }

    void checkStopOffersRecheck() {
        const BatchSeen &batch = batches_.last();
        for (const QString &entry : batch.entries) {
            if (unanswered(batch, entry) && !h_.form.canRecheck()) {
                breaks(QStringLiteral("stopped with %1 unanswered, and no 补查").arg(entry));
            }
        }
    }

    void recheck() {
        const BatchSeen &last = batches_.last();
        QStringList failed;
        QStringList waiting;
        QStringList skipped;
        for (const QString &entry : last.entries) {
            if (!HasDomainSuffix(entry)) {
                skipped.append(entry);
            } else if (unanswered(last, entry)) {
                (last.failed.contains(entry) ? failed : waiting).append(entry);
            }
        }
        QStringList listed;
        for (const FailedEntry &entry : h_.form.ledger().listed()) {
            listed.append(entry.domain);
        }
        if (listed != failed + waiting + skipped) {
            breaks(QStringLiteral("the dialog lists %1, not %2")
                       .arg(listed.join(u' '), (failed + waiting + skipped).join(u' ')));
        }
        const qsizetype before = batches_.size();
        h_.form.recheckFailed();
        if (batches_.size() == before) {
            breaks(QStringLiteral("补查 started no batch"));
        } else if (const BatchSeen &started = batches_[before];
                   started.entries.first(started.startSize) != failed + waiting) {
            breaks(QStringLiteral("补查 queued %1, not %2")
                       .arg(started.entries.first(started.startSize).join(u' '),
                            (failed + waiting).join(u' ')));
        }
    }

    void checkBetweenActions() {
        if (h_.window.queueCount() > kMaxQueueEntries) {
            breaks(QStringLiteral("the queue holds %1 entries").arg(h_.window.queueCount()));
        }
        const bool running = h_.form.batchRunning();
        if (const QString mismatch = running ? QString() : IdleMismatch(h_); !mismatch.isEmpty()) {
            breaks(QStringLiteral("idle, but ") + mismatch);
        }
        if (running && (!h_.window.timerEnabled.value(TimerId::Timer1) || !h_.form.queryGate() ||
                        h_.window.queueEnabled || h_.window.sliderEnabled || !h_.window.awake ||
                        h_.window.captions.value(ButtonId::Command2) != kRunning)) {
            breaks(QStringLiteral("running, but the window is not set for it"));
        }
        // The batch's progress: the entries it has reached of all it holds. An entry added
        // without "query at once" is counted from the next tick on.
        const BatchLedger &ledger = h_.form.ledger();
        if (ledger.reached() != (running ? h_.form.batchPos() + 1 : 0) ||
            (running &&
             (ledger.size() > h_.window.queueCount() || ledger.reached() > ledger.size()))) {
            breaks(QStringLiteral("reached %1 of %2 at position %3 of a queue of %4")
                       .arg(ledger.reached())
                       .arg(ledger.size())
                       .arg(h_.form.batchPos())
                       .arg(h_.window.queueCount()));
        }
    }

    // With nothing more from the user, the batch must end within its entries' number of ticks.
    void drain() {
        acting_ = false;
        trace.append(QStringLiteral("ticks until idle"));
        for (int ticks = 0; h_.form.batchRunning() && broken_.isEmpty(); ++ticks) {
            if (ticks > h_.window.queueCount() + 1) {
                breaks(QStringLiteral("the batch runs on"));
            }
            h_.window.fireTimer(TimerId::Timer1);
        }
        checkBetweenActions();
    }

    QueryHarness h_;
    std::mt19937 random_;
    QStringList listFiles_;
    QList<BatchSeen> batches_;
    QList<int> waits_; // per query waiting, innermost last: the batch it was asked in, or -1
    int open_ = -1;    // the running batch
    int made_ = 0;
    int depth_ = 0;
    bool acting_ = true;
    QString broken_;
};

} // namespace

class BatchRunTest : public QObject {
    Q_OBJECT
private slots:
    void emptyQueueShowsMessageWhateverTheCaption_data();
    void emptyQueueShowsMessageWhateverTheCaption();
    void startQueriesFirstEntryBeforeTheTimer_data();
    void startQueriesFirstEntryBeforeTheTimer();
    void skipsRunWithinOneTick();
    void fullQueueOfSkipsDoesNotNest();
    void lastEntryWithoutSuffixCompletesInTheSameTick_data();
    void lastEntryWithoutSuffixCompletesInTheSameTick();
    void shortQueues_data();
    void shortQueues();
    void nestedTickFinishesFirst();
    void nestedTickReachingTheEnd();
    void entryAddedDuringAWaitDoesNotEndTheBatch();
    void stopDuringWaitStillWritesTheRow();
    void restartClearsTableAndBeginsAtZero();
    void importDuringBatch();
    void cxWhileIdle();
    void cxDuringBatchKeepsItQuerying();
    void sliderAndInit();
    void recheckKeepsRowsAndQueriesOnlyTheFailed();
    void promisesHoldWhateverRunsInAWait();
    void progressOutsideTheWindow_data();
    void progressOutsideTheWindow();
};

void BatchRunTest::emptyQueueShowsMessageWhateverTheCaption_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("idle") << false;
    QTest::newRow("running") << true;
}

void BatchRunTest::emptyQueueShowsMessageWhateverTheCaption() {
    QFETCH(bool, running);
    QueryHarness h;
    if (running) {
        h.setQueue({"x.io"});
        h.form.Command2_Click();
        h.window.queue.clear();
    }
    const QString caption = h.window.captions[ButtonId::Command2];
    h.form.Command2_Click();
    QCOMPARE(h.window.panels[2], QStringLiteral("请先导入要查询的域名"));
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].text, QStringLiteral("请先导入要查询的域名"));
    QCOMPARE(h.window.messages[0].title, QStringLiteral("澜序软件"));
    QCOMPARE(h.window.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(h.window.captions[ButtonId::Command2], caption);
    QCOMPARE(h.window.timerEnabled[TimerId::Timer1], running);
    QCOMPARE(h.form.batchRunning(), running);
}

void BatchRunTest::startQueriesFirstEntryBeforeTheTimer_data() {
    QTest::addColumn<int>("pace");
    QTest::newRow("3 s") << 3;
    QTest::newRow("10 s") << 10;
}

void BatchRunTest::startQueriesFirstEntryBeforeTheTimer() {
    QFETCH(int, pace);
    QueryHarness h;
    h.startIdle();
    h.setQueue({"a.com", "b.com", "c.com"});
    h.form.cx(); // an old row, cleared by the start
    h.window.selected = 0;
    h.window.slider = pace;
    h.queried.clear();
    bool checkedDuringQuery = false;
    h.during = [&](int, const QString &) {
        QCOMPARE(h.window.captions[ButtonId::Command2], kRunning);
        QVERIFY(!h.window.queueEnabled);
        QVERIFY(h.window.rows.isEmpty());
        QVERIFY(!h.window.timerEnabled[TimerId::Timer1]);
        QVERIFY(h.window.sliderEnabled);
        QVERIFY(h.window.awake);
        checkedDuringQuery = true;
    };
    h.form.Command2_Click();
    QVERIFY(checkedDuringQuery);
    // Entry 0 is queried although it was selected already.
    QCOMPARE(h.queried, QStringList{"a.com"});
    QCOMPARE(RowTexts(h.window), QStringList{"a.com"});
    QCOMPARE(h.window.timerInterval[TimerId::Timer1], pace * 1000);
    QVERIFY(h.window.timerEnabled[TimerId::Timer1]);
    QVERIFY(!h.window.sliderEnabled);
    QVERIFY(h.form.queryGate());
    QCOMPARE(h.form.batchPos(), 0);
}

void BatchRunTest::skipsRunWithinOneTick() {
    QueryHarness h;
    h.setQueue({"a.com", "x.io", "y.io", "d.com", "e.com"});
    h.form.Command2_Click();
    h.window.panel2History.clear();
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.queried, (QStringList{"a.com", "d.com"}));
    QCOMPARE(h.form.batchPos(), 3);
    QCOMPARE(h.window.selected, 3);
    QCOMPARE(h.window.panel2History, (QStringList{kSkip, kSkip, Status("d.com", 5, 1)}));
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.queried.last(), QStringLiteral("e.com"));
    QCOMPARE(h.window.panel2History.mid(3), (QStringList{Status("e.com", 5, 0), kDone}));
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::fullQueueOfSkipsDoesNotNest() {
    // One nested selection per skip would need 32766 stack frames of the handler.
    QueryHarness h;
    QStringList queue(kMaxQueueEntries - 1, QStringLiteral("EXAMPLE.COM"));
    queue.append(QStringLiteral("a.com"));
    h.setQueue(queue);
    h.form.Command2_Click();
    QCOMPARE(h.queried, QStringList{"a.com"});
    QCOMPARE(h.form.batchPos(), kMaxQueueEntries - 1);
    QCOMPARE(h.window.selected, kMaxQueueEntries - 1);
    QCOMPARE(h.window.panels[2], Status("a.com", kMaxQueueEntries, 0));
    QCOMPARE(h.form.ledger().tally().skipped, kMaxQueueEntries - 1);
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.window.panels[2], kDone); // skips are not counted as unanswered
}

void BatchRunTest::lastEntryWithoutSuffixCompletesInTheSameTick_data() {
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<int>("skips");
    QTest::newRow("one at the end") << QStringList{"a.com", "b.com", "z.io"} << 1;
    QTest::newRow("two at the end") << QStringList{"a.com", "b.com", "y.io", "z.io"} << 2;
}

void BatchRunTest::lastEntryWithoutSuffixCompletesInTheSameTick() {
    QFETCH(QStringList, queue);
    QFETCH(int, skips);
    QueryHarness h;
    h.setQueue(queue);
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.window.panels[2], Status("b.com", int(queue.size()), int(queue.size()) - 2));
    h.window.panel2History.clear();
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QStringList expected(skips, kSkip);
    expected.append(kDone);
    QCOMPARE(h.window.panel2History, expected);
    QCOMPARE(h.queried, (QStringList{"a.com", "b.com"}));
    QCOMPARE(IdleMismatch(h), QString());
    QVERIFY(!h.window.fireTimer(TimerId::Timer1));
}

void BatchRunTest::shortQueues_data() {
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<QStringList>("atStart");
    QTest::addColumn<QStringList>("atFirstTick");
    QTest::newRow("one entry") << QStringList{"a.com"} << QStringList{"a.com"} << QStringList{};
    QTest::newRow("two entries") << QStringList{"a.com", "b.com"} << QStringList{"a.com"}
                                 << QStringList{"b.com"};
    QTest::newRow("two, first skipped")
        << QStringList{"x.io", "b.com"} << QStringList{"b.com"} << QStringList{};
}

void BatchRunTest::shortQueues() {
    QFETCH(QStringList, queue);
    QFETCH(QStringList, atStart);
    QFETCH(QStringList, atFirstTick);
    QueryHarness h;
    h.setQueue(queue);
    h.form.Command2_Click();
    QCOMPARE(h.queried, atStart);
    QVERIFY(h.window.timerEnabled[TimerId::Timer1]);
    h.queried.clear();
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.queried, atFirstTick);
    QCOMPARE(h.window.panels[2], kDone);
    if (!atFirstTick.isEmpty()) {
        QCOMPARE(h.window.panel2History.at(h.window.panel2History.size() - 2),
                 Status(atFirstTick.last(), int(queue.size()), 0));
    }
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::nestedTickFinishesFirst() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com", "d.com"});
    h.during = [&h](int, const QString &entry) {
        if (entry == "b.com") {
            h.window.fireTimer(TimerId::Timer1);
        }
    };
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried, (QStringList{"a.com", "b.com", "c.com"}));
    QCOMPARE(RowTexts(h.window), (QStringList{"a.com", "c.com", "b.com"}));
    // b.com's status is written last and names the entry selected by then.
    QCOMPARE(h.window.panel2History.mid(1),
             (QStringList{Status("c.com", 4, 1), Status("c.com", 4, 1)}));
    QCOMPARE(h.form.batchPos(), 2);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(RowTexts(h.window).last(), QStringLiteral("d.com"));
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::nestedTickReachingTheEnd() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com"});
    h.during = [&h](int, const QString &entry) {
        if (entry == "b.com") {
            h.window.fireTimer(TimerId::Timer1);
        }
    };
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(RowTexts(h.window), (QStringList{"a.com", "c.com", "b.com"}));
    // The completion text ends up last, over b.com's late status.
    QCOMPARE(h.window.panel2History.mid(1),
             (QStringList{Status("c.com", 3, 0), kDone, Status("c.com", 3, 0), kDone}));
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::entryAddedDuringAWaitDoesNotEndTheBatch() {
    QueryHarness h;
    h.setQueue({"n1.com", "n2.com", "n3.com"});
    h.answer = [](const QString &entry) {
        return entry == "n2.com" ? HttpResult{{}, HttpFailure::ConnectFailed}
                                 : Answered(FullAnswer(entry));
    };
    h.during = [&h](int, const QString &entry) {
        if (entry == "n2.com") { // "query at once" selects the new last entry
            h.window.queue.append("n4.com");
            h.form.cx();
        }
    };
    h.form.Command2_Click();
    while (h.window.fireTimer(TimerId::Timer1)) {
    }
    QCOMPARE(h.queried, (QStringList{"n1.com", "n2.com", "n4.com", "n3.com", "n4.com"}));
    // n2.com's failure is told under its own name, with the queue as it is when it returns and
    // what the batch has still to come, whatever is selected.
    QCOMPARE(h.window.panel2History.value(2),
             QStringLiteral("n2.com查询失败(无法连接查询服务) | 共：4个域名 | 剩余查询：2个"));
    QCOMPARE(h.window.panels[2], kDone + QStringLiteral(" 其中1个未查到"));
}

void BatchRunTest::stopDuringWaitStillWritesTheRow() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com"});
    h.during = [&h](int, const QString &entry) {
        if (entry == "b.com") {
            h.form.Command2_Click();
            QCOMPARE(IdleMismatch(h), QString());
        }
    };
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(RowTexts(h.window), (QStringList{"a.com", "b.com"}));
    QCOMPARE(h.window.panels[2], Status("b.com", 3, 1));
    QCOMPARE(IdleMismatch(h), QString());
    QVERIFY(!h.window.fireTimer(TimerId::Timer1));
}

void BatchRunTest::restartClearsTableAndBeginsAtZero() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com", "d.com"});
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    h.form.Command2_Click(); // stop
    QCOMPARE(IdleMismatch(h), QString());
    QCOMPARE(h.window.panels[2], Status("c.com", 4, 1)); // a stop writes no status
    h.form.Command2_Click();                             // start again
    QCOMPARE(RowTexts(h.window), QStringList{"a.com"});
    QCOMPARE(h.window.selected, 0);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried.last(), QStringLiteral("b.com"));
}

void BatchRunTest::importDuringBatch() {
    QTemporaryDir dir;
    const QString path = WriteTempFile(dir, "list.txt", "p.com\r\nq.com\r\nr.com\r\n");

    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com", "d.com"});
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    h.window.script.answers = {ChooseFile{path}};
    h.form.Command1_Click();
    // The batch stops before its entries are replaced: the loaded list is not queried, and what
    // the batch did not reach is kept for 补查.
    QCOMPARE(h.window.queue, (QStringList{"p.com", "q.com", "r.com"}));
    QCOMPARE(h.queried, (QStringList{"a.com", "b.com"}));
    QCOMPARE(h.window.panels[2], QStringLiteral("列表加载成功!共3个域名"));
    QCOMPARE(IdleMismatch(h), QString());
    QCOMPARE(h.form.ledger().toRecheck(), (QStringList{"c.com", "d.com"}));
}

void BatchRunTest::cxWhileIdle() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com"});
    h.form.cx();
    QCOMPARE(h.queried, QStringList{"b.com"});
    QCOMPARE(RowTexts(h.window), QStringList{"b.com"});
    QCOMPARE(h.window.panels[2], Status("b.com", 2, 0));
    QCOMPARE(IdleMismatch(h), QString());
    // Selecting by hand afterwards queries nothing; the next start clears the row.
    h.form.select(0);
    QCOMPARE(h.queried.size(), 1);
    h.form.Command2_Click();
    QCOMPARE(RowTexts(h.window), QStringList{"a.com"});
}

void BatchRunTest::cxDuringBatchKeepsItQuerying() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com"});
    h.form.Command2_Click();
    h.window.queue.append("e.com");
    h.form.cx();
    QVERIFY(h.form.queryGate());
    QCOMPARE(h.form.batchPos(), 0);
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried, (QStringList{"a.com", "e.com", "b.com", "c.com", "e.com"}));
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::sliderAndInit() {
    QueryHarness h;
    QVERIFY(!h.window.buttonEnabled[ButtonId::Command2]);
    h.form.init();
    QVERIFY(h.window.buttonEnabled[ButtonId::Command2]);
    QCOMPARE(h.window.panels[2], QStringLiteral("当前为最新版本,欢迎使用澜序软件.."));

    for (const int pace : {3, 5, 10}) {
        h.window.slider = pace;
        h.form.Slider1_Scroll();
        QCOMPARE(h.window.label2, QString::number(pace) + QStringLiteral("秒/次"));
    }
    QCOMPARE(h.window.timerInterval[TimerId::Timer1], 1000); // the pace waits for a start
}

void BatchRunTest::recheckKeepsRowsAndQueriesOnlyTheFailed() {
    QueryHarness h;
    h.startIdle();
    h.form.recheckFailed(); // nothing failed yet: nothing happens
    QVERIFY(!h.form.batchRunning());
    h.setQueue({"a.com", "gone.com", "BAD.IO", "b.com"});
    h.answer = [](const QString &entry) {
        return Answered(entry == QStringLiteral("gone.com")
                            ? QStringLiteral(R"({"result":0,"message":"暂无数据"})")
                            : FullAnswer(entry));
    };
    h.form.Command2_Click();
    h.form.recheckFailed(); // refused while a batch runs
    QCOMPARE(h.window.queue.size(), 4);
    while (h.window.fireTimer(TimerId::Timer1)) {
    }
    QCOMPARE(RowTexts(h.window), (QStringList{"a.com", "b.com"}));
    QCOMPARE(h.form.ledger().listed().size(), 2);

    h.answer = [](const QString &entry) { return Answered(FullAnswer(entry)); };
    h.queried.clear();
    h.form.recheckFailed();
    QVERIFY(h.window.awake);
    while (h.window.fireTimer(TimerId::Timer1)) {
    }
    // The skipped entry is not queued again: it would only be skipped.
    QCOMPARE(h.window.queue, QStringList{"gone.com"});
    QCOMPARE(h.queried, QStringList{"gone.com"});
    QCOMPARE(RowTexts(h.window), (QStringList{"a.com", "b.com", "gone.com"}));
    QVERIFY(h.form.ledger().isEmpty());
    QCOMPARE(h.window.panels[2], kDone);
    QCOMPARE(IdleMismatch(h), QString());
}

// SHOULU_INTERLEAVINGS sets how many sequences run, SHOULU_INTERLEAVING_SEED the first seed.
void BatchRunTest::promisesHoldWhateverRunsInAWait() {
    QTemporaryDir dir;
    const QStringList files{WriteTempFile(dir, "three.txt", "f1.com\r\nfx.io\r\nf2.com\r\n"),
                            WriteTempFile(dir, "one.txt", "g1.com\r\n"),
                            WriteTempFile(dir, "empty.txt", "\r\n")};
    const int sequences = qEnvironmentVariableIntValue("SHOULU_INTERLEAVINGS") > 0
                              ? qEnvironmentVariableIntValue("SHOULU_INTERLEAVINGS")
                              : 5000;
    const auto firstSeed = quint32(qEnvironmentVariableIntValue("SHOULU_INTERLEAVING_SEED"));
    for (quint32 seed = firstSeed; seed < firstSeed + quint32(sequences); ++seed) {
        Interleaving sequence(seed, files);
        const QString broken = sequence.run();
        if (!broken.isEmpty()) {
            qInfo().noquote() << "seed" << seed << "broke a promise:" << broken << "\n"
                              << sequence.trace.join(u'\n');
            QFAIL(qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(broken)));
        }
    }
}

void BatchRunTest::progressOutsideTheWindow_data() {
    // Actions: start and stop press Command2, tick fires Timer1, "add X" appends X and runs cx as
    // the add-domain dialog's "query at once" does. Each query notes the progress it is shown
    // under.
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("queries");
    QTest::addColumn<int>("attention");
    QTest::newRow("completed") << QStringList{"a.com", "b.com", "c.com"}
                               << QStringList{"start", "tick", "tick"}
                               << QStringList{"1/3", "2/3", "3/3", "0/0"}
                               << QStringList{"a.com 1/3", "b.com 2/3", "c.com 3/3"} << 1;
    QTest::newRow("stopped") << QStringList{"a.com", "b.com", "c.com"}
                             << QStringList{"start", "tick", "stop"}
                             << QStringList{"1/3", "2/3", "0/0"}
                             << QStringList{"a.com 1/3", "b.com 2/3"} << 0;
    QTest::newRow("one entry") << QStringList{"a.com"} << QStringList{"start", "tick"}
                               << QStringList{"1/1", "0/0"} << QStringList{"a.com 1/1"} << 1;
    QTest::newRow("skips count as reached")
        << QStringList{"a.com", "x.io", "y.io", "d.com", "e.com"}
        << QStringList{"start", "tick", "tick"} << QStringList{"1/5", "2/5", "4/5", "5/5", "0/0"}
        << QStringList{"a.com 1/5", "d.com 4/5", "e.com 5/5"} << 1;
    QTest::newRow("entry added with query at once")
        << QStringList{"a.com", "b.com"} << QStringList{"start", "add c.com", "tick", "tick"}
        << QStringList{"1/2", "1/3", "2/3", "3/3", "0/0"}
        << QStringList{"a.com 1/2", "c.com 1/3", "b.com 2/3", "c.com 3/3"} << 1;
    QTest::newRow("query at once while idle") << QStringList{"a.com"} << QStringList{"add b.com"}
                                              << QStringList{} << QStringList{"b.com "} << 0;
}

void BatchRunTest::progressOutsideTheWindow() {
    QFETCH(QStringList, queue);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, queries);
    QFETCH(int, attention);
    QueryHarness h;
    h.setQueue(queue);
    QStringList queriedUnder;
    h.during = [&h, &queriedUnder](int, const QString &entry) {
        queriedUnder.append(entry + QLatin1Char(' ') +
                            h.window.progress.value(h.window.progress.size() - 1));
    };
    for (const QString &action : actions) {
        if (action == QStringLiteral("tick")) {
            QVERIFY(h.window.fireTimer(TimerId::Timer1));
        } else if (action.startsWith(QStringLiteral("add "))) {
            h.window.queue.append(action.mid(4));
            h.form.cx();
        } else {
            h.form.Command2_Click();
        }
    }
    QCOMPARE(h.window.progress, shown);
    QCOMPARE(queriedUnder, queries);
    QCOMPARE(h.window.attentionRequests, attention);
    QCOMPARE(IdleMismatch(h), QString());
}

QTEST_APPLESS_MAIN(BatchRunTest)
#include "test_batch_run.moc"
