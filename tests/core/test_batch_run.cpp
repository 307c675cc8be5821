#include "core/domain_import.h"
#include "tests/core/query_harness.h"
#include "tests/support/temp_files.h"

#include <QTemporaryDir>
#include <QTest>

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
    void stopWhileTheStartWaits();
    void stopAndStartWhileTheStartWaits();
    void restartClearsTableAndBeginsAtZero();
    void importDuringBatch();
    void importOfEmptyFileDuringBatch();
    void toolTipFollowsTheSelectionPastAShorterQueue();
    void cxWhileIdle();
    void cxDuringBatchKeepsItQuerying();
    void batchStateChangedWhileCxWaits();
    void sliderAndInit();
    void recheckKeepsRowsAndQueriesOnlyTheFailed();
    void recheckAfterAStopLosesNoEntry();
    void recheckNeverOverfillsTheQueue();
    void progressOutsideTheWindow_data();
    void progressOutsideTheWindow();
};

void BatchRunTest::emptyQueueShowsMessageWhateverTheCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("idle") << kIdle;
    QTest::newRow("running") << kRunning;
}

void BatchRunTest::emptyQueueShowsMessageWhateverTheCaption() {
    QFETCH(QString, caption);
    QueryHarness h;
    h.window.captions[ButtonId::Command2] = caption;
    h.form.Command2_Click();
    QCOMPARE(h.window.panels[2], QStringLiteral("请先导入要查询的域名"));
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].text, QStringLiteral("请先导入要查询的域名"));
    QCOMPARE(h.window.messages[0].title, QStringLiteral("澜序软件"));
    QCOMPARE(h.window.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(h.window.captions[ButtonId::Command2], caption);
    QVERIFY(!h.window.timerEnabled[TimerId::Timer1]);
    QVERIFY(!h.form.queryGate());
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
    QCOMPARE(h.form.unanswered().skippedCount(), 1); // the same entry each time, counted once
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
    // n2.com's failure is told under its own name, with the counts as they are when it returns.
    QCOMPARE(h.window.panel2History.value(2),
             QStringLiteral("n2.com查询失败(无法连接查询服务) | 共：4个域名 | 剩余查询：0个"));
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

void BatchRunTest::stopWhileTheStartWaits() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com"});
    h.during = [&h](int, const QString &) { h.form.Command2_Click(); };
    h.form.Command2_Click();
    QCOMPARE(RowTexts(h.window), QStringList{"a.com"});
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::stopAndStartWhileTheStartWaits() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com"});
    h.during = [&h](int call, const QString &) {
        if (call == 0) {
            h.window.slider = 7;
            h.form.Command2_Click();
            h.form.Command2_Click();
        }
    };
    h.form.Command2_Click();
    QCOMPARE(h.queried, (QStringList{"a.com", "a.com"}));
    QCOMPARE(h.window.captions[ButtonId::Command2], kRunning);
    QVERIFY(h.form.queryGate());
    QVERIFY(h.window.timerEnabled[TimerId::Timer1]);
    QCOMPARE(h.window.timerInterval[TimerId::Timer1], 7000);
    QVERIFY(!h.window.sliderEnabled);
    QVERIFY(h.window.awake);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried.last(), QStringLiteral("b.com"));
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
    // The gate is on, so selecting the last loaded entry queries it.
    QCOMPARE(h.queried.last(), QStringLiteral("r.com"));
    QCOMPARE(h.window.panels[2], QStringLiteral("列表加载成功!共3个域名"));
    QCOMPARE(h.form.batchPos(), 1);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried.last(), QStringLiteral("r.com"));
    QCOMPARE(h.window.panels[2], kDone);
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::importOfEmptyFileDuringBatch() {
    QTemporaryDir dir;
    const QString path = WriteTempFile(dir, "empty.txt", QByteArray());

    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com"});
    h.form.Command2_Click();
    h.window.script.answers = {ChooseFile{path}};
    h.form.Command1_Click();
    QVERIFY(h.window.queue.isEmpty());
    h.form.Command2_Click();
    QCOMPARE(h.window.messages.last().text, QStringLiteral("请先导入要查询的域名"));
    QCOMPARE(h.window.captions[ButtonId::Command2], kRunning);
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.window.panels[2], kDone);
    QCOMPARE(IdleMismatch(h), QString());
    QCOMPARE(h.queried, QStringList{"a.com"});
}

void BatchRunTest::toolTipFollowsTheSelectionPastAShorterQueue() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com", "d.com", "e.com"});
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    h.window.queue = {"p.com", "x.io"}; // a shorter list imported: its last line is skipped
    h.form.select(1);
    QCOMPARE(h.window.selected, 1);
    QCOMPARE(h.window.queueToolTip, QStringLiteral("双击列表删除:x.io"));
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

void BatchRunTest::batchStateChangedWhileCxWaits() {
    // A stop during an immediate query must not leave the gate on once idle.
    QueryHarness stopped;
    stopped.setQueue({"a.com", "b.com"});
    stopped.form.Command2_Click();
    stopped.during = [&stopped](int, const QString &) { stopped.form.Command2_Click(); };
    stopped.form.cx();
    QCOMPARE(IdleMismatch(stopped), QString());

    // A start during an idle immediate query must keep its gate.
    QueryHarness started;
    started.setQueue({"a.com", "b.com"});
    started.during = [&started](int call, const QString &) {
        if (call == 0) {
            started.form.Command2_Click();
        }
    };
    started.form.cx();
    QVERIFY(started.form.queryGate());
    started.window.fireTimer(TimerId::Timer1);
    QCOMPARE(started.queried, (QStringList{"b.com", "a.com", "b.com"}));
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
    QCOMPARE(h.form.unanswered().listed().size(), 2);

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
    QVERIFY(h.form.unanswered().isEmpty());
    QCOMPARE(h.window.panels[2], kDone);
    QCOMPARE(IdleMismatch(h), QString());
}

void BatchRunTest::recheckAfterAStopLosesNoEntry() {
    QueryHarness h;
    QStringList queue;
    for (int i = 0; i < 10; ++i) {
        queue.append(QStringLiteral("d%1.com").arg(i));
    }
    h.setQueue(queue);
    h.answer = [](const QString &entry) {
        return entry == "d1.com" ? HttpResult{{}, HttpFailure::ConnectFailed}
                                 : Answered(FullAnswer(entry));
    };
    h.form.Command2_Click();
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    h.form.Command2_Click(); // stopped after three queries, one of which failed
    h.form.recheckFailed();
    QCOMPARE(h.window.queue, QStringList{"d1.com"} + queue.mid(3));
    QCOMPARE(h.window.rows.size(), 2);
}

void BatchRunTest::recheckNeverOverfillsTheQueue() {
    const auto fullQueue = [](const char *stem) {
        QStringList queue;
        for (int i = 0; i < kMaxQueueEntries; ++i) {
            queue.append(QLatin1String(stem) + QString::number(i) + QStringLiteral(".com"));
        }
        return queue;
    };
    QueryHarness h;
    h.answer = [](const QString &) { return HttpResult{{}, HttpFailure::ConnectFailed}; };
    h.setQueue(fullQueue("a"));
    h.form.Command2_Click(); // a0 fails
    for (const char *stem : {"b", "c"}) {
        h.window.queue = fullQueue(stem); // an import during the batch queries its last line
        h.form.select(kMaxQueueEntries - 1);
    }
    h.window.fireTimer(TimerId::Timer1); // c1 fails
    h.form.Command2_Click();
    h.form.recheckFailed();
    // Four failures and the 32764 entries never reached, c32766 only once: one too many.
    QCOMPARE(h.window.queue.size(), kMaxQueueEntries);
    QCOMPARE(h.window.queue.first(5),
             (QStringList{"a0.com", "b32766.com", "c32766.com", "c1.com", "c2.com"}));
    QCOMPARE(h.window.messages.last().text, OverflowMessage(1));
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
