#include "service/epoll_dispatcher.h"
#include "service/limits.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>

using namespace shoulu;

namespace {

// Leaves the accepted descriptor bare, so only the notifier under test watches it.
class BareAcceptServer : public QTcpServer {
public:
    qintptr accepted = -1;

protected:
    void incomingConnection(qintptr descriptor) override { accepted = descriptor; }
};

} // namespace

// What a worker thread runs on: its event loop, and its connections' share of unsent answers.
class WorkerTest : public QObject {
    Q_OBJECT

private slots:
    void unsentShareShrinksPastTheBudget_data() {
        QTest::addColumn<qint64>("allUnsent");
        QTest::addColumn<int>("open");
        QTest::addColumn<qint64>("share");
        QTest::newRow("within the budget") << kUnsentBudget << 2000 << kMaxUnsentBytes;
        QTest::newRow("past it") << kUnsentBudget + 1 << 2000 << kUnsentBudget / 2000;
        QTest::newRow("past it, few open") << kUnsentBudget + 1 << 10 << kMaxUnsentBytes;
    }
    void unsentShareShrinksPastTheBudget() {
        QFETCH(qint64, allUnsent);
        QFETCH(int, open);
        QFETCH(qint64, share);
        QCOMPARE(UnsentShare(allUnsent, open), share);
    }

    void scalableDispatcherRunsTimersSocketsAndPostedCalls() {
        QAbstractEventDispatcher *dispatcher = NewScalableEventDispatcher();
        if (!dispatcher) {
            QSKIP("no scalable event dispatcher on this system");
        }
        std::atomic<int> done = 0, singleShots = 0, ticks = 0, reads = 0;
        std::atomic<qint64> singleShotAt = -1;
        QThread thread;
        thread.setEventDispatcher(dispatcher);
        thread.start();
        const auto stop = qScopeGuard([&] {
            thread.quit();
            thread.wait(10000);
        });
        // Runs call in the thread, which gets a queued call only if posting wakes it up.
        auto inThread = [&, issued = 0](auto call) mutable {
            QMetaObject::invokeMethod(dispatcher, [&done, call] {
                call();
                ++done;
            });
            return QTest::qWaitFor([&, target = ++issued] { return done == target; }, 5000);
        };
        QElapsedTimer clock;
        clock.start();
        QTimer *ticker = nullptr;
        QVERIFY(inThread([&] {
            ticker = new QTimer;
            QObject::connect(ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker->start(10);
            QTimer::singleShot(100, ticker, [&] {
                singleShotAt = clock.elapsed();
                ++singleShots;
            });
        }));
        QTRY_VERIFY_WITH_TIMEOUT(singleShots == 1 && ticks >= 5, 10000);
        QVERIFY2(singleShotAt >= 90, qPrintable(QString::number(singleShotAt)));
        QVERIFY(inThread([&] { delete ticker; }));
        const int ticked = ticks;

        BareAcceptServer server;
        QTcpSocket client, peer; // peer closes the accepted descriptor at the end
        QVERIFY(server.listen(QHostAddress::LocalHost));
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(5000) && server.waitForNewConnection(5000));
        QSocketNotifier *notifier = nullptr;
        QVERIFY(inThread([&] {
            // The bytes stay unread, so only disabling it stops it.
            notifier = new QSocketNotifier(server.accepted, QSocketNotifier::Read);
            QObject::connect(notifier, &QSocketNotifier::activated, [&] {
                ++reads;
                notifier->setEnabled(false);
            });
        }));
        client.write("a");
        QTRY_COMPARE_WITH_TIMEOUT(reads.load(), 1, 5000);
        client.write("b");
        QTest::qWait(200);
        QCOMPARE(reads.load(), 1);
        QCOMPARE(ticks.load(), ticked);
        QCOMPARE(singleShots.load(), 1);
        // Nothing is due in the thread now: the call gets through by a wake-up alone.
        QVERIFY(inThread([&] { delete notifier; }));
        QVERIFY(peer.setSocketDescriptor(server.accepted));
    }
};

QTEST_GUILESS_MAIN(WorkerTest)
#include "test_worker.moc"
