#include "app/running_mark.h"

#include <QTest>

#include <memory>

#ifdef Q_OS_WIN
#include "shoulu_config.h"

#include <windows.h>

// Whether the mark is there, asked as the setup asks.
static bool MarkSeen() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\" SHOULU_RUNNING_MUTEX);
    if (mutex == nullptr) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}
#endif

class RunningMarkTest : public QObject {
    Q_OBJECT
private slots:
    void seenWhileAnyCopyRuns() {
        auto first = std::make_unique<shoulu::RunningMark>();
#ifdef Q_OS_WIN
        QVERIFY(first->held());
        QVERIFY(MarkSeen());
        auto second = std::make_unique<shoulu::RunningMark>(); // a second copy of the program
        QVERIFY(second->held());
        first.reset();
        QVERIFY(MarkSeen());
        second.reset();
        QVERIFY(!MarkSeen());
#else
        QVERIFY(!first->held());
#endif
    }
};

QTEST_GUILESS_MAIN(RunningMarkTest)
#include "test_running_mark.moc"
