#include "app/wake_request.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>

constexpr EXECUTION_STATE kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

// The thread's execution state as far as the request goes, read by setting it to state.
static EXECUTION_STATE StateBefore(EXECUTION_STATE state) {
    return SetThreadExecutionState(state) & kHeld;
}
#endif

class WakeRequestTest : public QObject {
    Q_OBJECT
private slots:
    void heldUntilReleased() {
        // No system bus, whatever the machine has: the request must then cost nothing.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/shoulu-test-bus");
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        auto request = std::make_unique<shoulu::WakeRequest>();
        request->hold(true);
        request->hold(true);
#ifdef Q_OS_WIN
        QVERIFY(request->granted());
        QCOMPARE(StateBefore(kHeld), kHeld);
        request->hold(false);
        QCOMPARE(StateBefore(ES_CONTINUOUS), EXECUTION_STATE(ES_CONTINUOUS));
        request->hold(true);
        request.reset(); // released as it goes
        QCOMPARE(StateBefore(ES_CONTINUOUS), EXECUTION_STATE(ES_CONTINUOUS));
#else
        QVERIFY(!request->granted());
#endif
    }
};

QTEST_GUILESS_MAIN(WakeRequestTest)
#include "test_wake_request.moc"
