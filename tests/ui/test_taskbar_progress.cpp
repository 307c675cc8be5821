#include "ui/taskbar.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace shoulu;

// The dock's side of the progress on Linux, on a private session bus of the test's own.
class TaskbarProgressTest : public QObject {
    Q_OBJECT
public slots:
    void onUpdate(const QDBusMessage &update) {
        const QVariantMap properties = qdbus_cast<QVariantMap>(update.arguments().value(1));
        updates.append(QStringLiteral("%1 %2 %3")
                           .arg(update.arguments().value(0).toString())
                           .arg(properties.value(QStringLiteral("progress")).toString())
                           .arg(properties.value(QStringLiteral("progress-visible")).toString()));
    }

private slots:
    void launcherEntrySignals() {
        QProcess bus;
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
        QVERIFY2(bus.waitForStarted(5000), "dbus-daemon does not start");
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        // The program's side finds the bus as a desktop session announces it.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection dock = QDBusConnection::connectToBus(address, QStringLiteral("dock"));
        QVERIFY(dock.isConnected());
        QVERIFY(dock.connect(QString(), QString(),
                             QStringLiteral("com.canonical.Unity.LauncherEntry"),
                             QStringLiteral("Update"), this, SLOT(onUpdate(QDBusMessage))));

        QWidget window;
        auto progress = std::make_unique<TaskbarProgress>(window);
        progress->show(1, 4);
        progress->show(1, 4); // told once
        progress->show(3, 4);
        progress->show(0, 0);
        progress->show(0, -1); // nothing shown already
        progress->show(9, 4);  // never past the end
        progress.reset();      // taken away as it goes
        const QString entry = QStringLiteral("application://cn.lanxu.shoulu.desktop");
        const QStringList expected{entry + " 0.25 true", entry + " 0.75 true", entry + " 0 false",
                                   entry + " 1 true", entry + " 0 false"};
        QTRY_COMPARE_WITH_TIMEOUT(updates.size(), expected.size(), 10000);
        QCOMPARE(updates, expected);
        QDBusConnection::disconnectFromBus(QStringLiteral("dock"));
        bus.kill();
        QVERIFY(bus.waitForFinished(5000));
    }

private:
    QStringList updates;
};

QTEST_MAIN(TaskbarProgressTest)
#include "test_taskbar_progress.moc"
