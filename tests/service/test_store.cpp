#include "service/store.h"
#include "tests/support/temp_files.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace shoulu;

class StoreTest : public QObject {
    Q_OBJECT

private slots:
    void csvLineQuoting() {
        QCOMPARE(SplitCsvLine(QStringLiteral("a,\"1,2\",\"say \"\"hi\"\"\",")),
                 QStringList({"a", "1,2", "say \"hi\"", ""}));
        QVERIFY(!SplitCsvLine(QStringLiteral("a,\"open")).has_value());
        QVERIFY(!SplitCsvLine(QStringLiteral("a,\"x\"y")).has_value());
    }

    void badCsvStoresNothing() {
        QTemporaryDir dir;
        CountStore store;
        QString error;
        QVERIFY2(store.open(dir.filePath(QStringLiteral("t.db")), &error), qPrintable(error));
        const QString csv = testing::WriteTempFile(
            dir, QStringLiteral("bad.csv"),
            "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n"
            "good.com,1,1,1,1,1,1\n"
            "short.com,1,2\n");
        int imported = -1;
        QVERIFY(!store.importCsv(csv, ImportMode::Merge, &imported, &error));
        QVERIFY2(error.contains(QStringLiteral(":3:")), qPrintable(error));
        QVERIFY(!store.find(QStringLiteral("good.com")).has_value());
        QCOMPARE(store.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store.moc"
