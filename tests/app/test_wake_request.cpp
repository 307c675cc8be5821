#include "app/wake_request.h"

#include <QRegularExpression>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

constexpr EXECUTION_STATE kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

// The thread's execution state before setting it to state, as far as the request goes.
EXECUTION_STATE StateBefore(EXECUTION_STATE state) {
    return SetThreadExecutionState(state) & kHeld;
}

} // namespace
#endif

class WakeRequestTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // No system bus, whatever the machine has: the request must then cost nothing.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/shoulu-test-bus");
    }

    void heldUntilReleased() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        {
            shoulu::WakeRequest request;
            request.hold(true);
            request.hold(true);
#ifdef Q_OS_WIN
            QVERIFY(request.granted());
            QCOMPARE(StateBefore(kHeld), kHeld);
            request.hold(false);
            QCOMPARE(StateBefore(ES_CONTINUOUS), EXECUTION_STATE(ES_CONTINUOUS));
            request.hold(true);
#else
            QVERIFY(!request.granted());
#endif
        }
#ifdef Q_OS_WIN
        // Released when the holder goes.
        QCOMPARE(StateBefore(ES_CONTINUOUS), EXECUTION_STATE(ES_CONTINUOUS));
#endif
    }
};

QTEST_GUILESS_MAIN(WakeRequestTest)
#include "test_wake_request.moc"
