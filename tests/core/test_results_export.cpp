// Copy, CSV export and sorting of the results, over the recording fake window.
#include "core/batch_ledger.h"
#include "core/result_order.h"
#include "core/results_export.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_files.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace shoulu;
using shoulu::testing::ChooseFile;
using shoulu::testing::FakeWindow;
using shoulu::testing::ReadFileBytes;
using shoulu::testing::WriteTempFile;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

FakeWindow WithRows(const QList<QStringList> &rows) {
    FakeWindow window;
    for (const QStringList &cells : rows) {
        window.rows.append({cells[0], {cells[1], cells[2], cells[3]}});
    }
    return window;
}

// A batch stopped after a skip and a failure, before its last entry: the failures are listed
// first, then the entry not reached, then the skipped one.
BatchLedger OneFailedOneSkipped() {
    const QStringList queue{"bad.example.io", "missing.example.net", "later.example.com"};
    BatchLedger ledger(int(queue.size()), 1);
    ledger.setSkipped(0, queue[0]);
    ledger.moveTo(1);
    ledger.setFailed(1, queue[1], QStringLiteral("未收录"));
    ledger.finish(false, [&queue](int index) { return queue[index]; });
    return ledger;
}

} // namespace

class ResultsExportTest : public QObject {
    Q_OBJECT
private slots:
    void csvField_data();
    void csvField();
    void exportWritesTheTableAsSevenColumns();
    void exportReplacesOnlyWhenComplete();
    void failingOrCancelledExportWritesNothing_data();
    void failingOrCancelledExportWritesNothing();
    void clipboardTexts();
    void sortOrder_data();
    void sortOrder();
};

void ResultsExportTest::csvField_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << "example.com" << QByteArray("example.com");
    QTest::newRow("empty") << "" << QByteArray("");
    QTest::newRow("chinese") << "中文示例.cn" << QByteArray("中文示例.cn");
    QTest::newRow("comma") << "12,345" << QByteArray("\"12,345\"");
    QTest::newRow("quote") << "a\"b" << QByteArray("\"a\"\"b\"");
    QTest::newRow("line feed") << "a\nb" << QByteArray("\"a\nb\"");
    QTest::newRow("equals") << "=1+2" << QByteArray("'=1+2");
    QTest::newRow("plus") << "+1" << QByteArray("'+1");
    QTest::newRow("minus") << "-1" << QByteArray("'-1");
    QTest::newRow("at") << "@SUM(A1)" << QByteArray("'@SUM(A1)");
    QTest::newRow("tab") << "\t=1" << QByteArray("'\t=1");
    QTest::newRow("carriage return") << "\r=1" << QByteArray("\"'\r=1\"");
    QTest::newRow("formula with comma")
        << "=HYPERLINK(\"x\",1)" << QByteArray("\"'=HYPERLINK(\"\"x\"\",1)\"");
    QTest::newRow("inner equals") << "1=1" << QByteArray("1=1");
}

void ResultsExportTest::csvField() {
    QFETCH(QString, cell);
    QFETCH(QByteArray, field);
    QCOMPARE(CsvBytes({{cell, QStringLiteral("x")}}), kBom + field + ",x\r\n");
}

void ResultsExportTest::exportWritesTheTableAsSevenColumns() {
    QTemporaryDir dir;
    FakeWindow window = WithRows({{"a.com", "1200 / 34", "12,345 / 7", "=cmd / 0"},
                                  {"中文示例.cn", "0 / 0", "", "5 / 6 / 7"}});
    window.documents = dir.path();
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    window.script.answers = {ChooseFile{path}};
    ExportResults(window);

    QCOMPARE(window.saveDialogs.size(), 1);
    QCOMPARE(window.saveDialogs[0].filter, QStringLiteral("CSV文件|*.csv"));
    QVERIFY2(QRegularExpression(QStringLiteral("^%1/收录查询结果-\\d{8}-\\d{4}\\.csv$")
                                    .arg(QRegularExpression::escape(dir.path())))
                 .match(window.saveDialogs[0].initialFolder)
                 .hasMatch(),
             qPrintable(window.saveDialogs[0].initialFolder));
    QCOMPARE(ReadFileBytes(path),
             kBom + QStringLiteral("域名,百度收录,百度反链,360收录,360反链,Bing收录,"
                                   "Bing反链\r\n"
                                   "a.com,1200,34,\"12,345\",7,'=cmd,0\r\n"
                                   "中文示例.cn,0,0,,,5,6 / 7\r\n")
                        .toUtf8());
    QVERIFY(window.messages.isEmpty());
    QCOMPARE(window.panels[2],
             QStringLiteral("导出成功!共2个域名,已保存到:%1").arg(QDir::toNativeSeparators(path)));

    window.script.answers = {ChooseFile{path}};
    ExportFailed(window, OneFailedOneSkipped());
    QCOMPARE(ReadFileBytes(path),
             kBom + QStringLiteral("域名,原因\r\nmissing.example.net,未收录\r\n"
                                   "later.example.com,未查询\r\nbad.example.io,域名不正确\r\n")
                        .toUtf8());
    QCOMPARE(window.panels[2],
             QStringLiteral("导出成功!共1个未查到的域名，另有1个域名未查询，另有1个域名不正确，"
                            "未查询,已保存到:") +
                 QDir::toNativeSeparators(path));
    QVERIFY(window.saveDialogs[1].initialFolder.contains(QStringLiteral("/未查到的域名-")));
}

void ResultsExportTest::exportReplacesOnlyWhenComplete() {
    QTemporaryDir dir;
    const QString path =
        WriteTempFile(dir, "old.csv", "old contents that are longer than the new ones");
    QCOMPARE(WriteFileAtomically(path, "new"), QString());
    QCOMPARE(ReadFileBytes(path), QByteArray("new"));
    // No temporary file stays behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.csv"});
}

void ResultsExportTest::failingOrCancelledExportWritesNothing_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("name");
    QTest::newRow("cancelled") << true << "out.csv";
    QTest::newRow("folder missing") << false << "missing/out.csv";
    QTest::newRow("parent is a file") << false << "file.txt/out.csv";
    QTest::newRow("target is a folder") << false << "folder";
}

void ResultsExportTest::failingOrCancelledExportWritesNothing() {
    QFETCH(bool, cancel);
    QFETCH(QString, name);
    QTemporaryDir dir;
    WriteTempFile(dir, "file.txt", QByteArray());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    FakeWindow window = WithRows({{"a.com", "1 / 2", "3 / 4", "5 / 6"}});
    window.panels[2] = QStringLiteral("before");
    if (!cancel) {
        window.script.answers = {ChooseFile{dir.filePath(name)}};
    }
    ExportResults(window);

    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
    QCOMPARE(window.panels[2], QStringLiteral("before"));
    QCOMPARE(window.messages.size(), cancel ? 0 : 1);
    if (!cancel) {
        QCOMPARE(window.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(window.messages[0].buttons, MessageButtons::Ok);
        QVERIFY2(window.messages[0].text.startsWith(QStringLiteral("导出失败：")) &&
                     window.messages[0].text.endsWith(QDir::toNativeSeparators(dir.filePath(name))),
                 qPrintable(window.messages[0].text));
    }
}

void ResultsExportTest::clipboardTexts() {
    FakeWindow window = WithRows({{"a.com", "1 / 2", "3 / 4", "5 / 6"},
                                  {"b\tc.com", "12,345 / 7", "=1 / 0", "x"},
                                  {"d.com", "", "", ""}});
    window.selectedRowList = {2, 1};
    CopySelectedResults(window);
    QCOMPARE(window.clipboard,
             QStringLiteral("d.com\t\t\t\t\t\t\nb c.com\t12,345\t7\t'=1\t0\tx\t\n"));
    QCOMPARE(window.panels[2], QStringLiteral("已复制2行查询结果"));

    CopyAllResults(window);
    QCOMPARE(window.clipboard.split(QLatin1Char('\n')).value(0),
             QStringLiteral("域名\t百度收录\t百度反链\t360收录\t360反链\tBing收录\tBing反链"));
    QCOMPARE(window.clipboard.split(QLatin1Char('\n')).value(1),
             QStringLiteral("a.com\t1\t2\t3\t4\t5\t6"));
    QCOMPARE(window.clipboard.count(QLatin1Char('\n')), 4);

    // Nothing selected: the clipboard keeps what it had.
    window.selectedRowList.clear();
    window.clipboard = QStringLiteral("kept");
    CopySelectedResults(window);
    QCOMPARE(window.clipboard, QStringLiteral("kept"));

    CopyFailed(window, OneFailedOneSkipped());
    QCOMPARE(window.clipboard,
             QStringLiteral("missing.example.net\t未收录\nlater.example.com\t未查询\n"
                            "bad.example.io\t域名不正确\n"));
    QCOMPARE(window.panels[2], QStringLiteral("已复制1个未查到的域名，另有1个域名未查询，另有1个"
                                              "域名不正确，未查询"));
}

void ResultsExportTest::sortOrder_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QList<int>>("ascending");
    QTest::addColumn<QList<int>>("descending");
    QTest::newRow("domains as text") << 0 << QStringList{"b.com", "a.com", "c.com", "a.com"}
                                     << QList<int>{1, 3, 0, 2} << QList<int>{2, 0, 1, 3};
    QTest::newRow("counts as numbers") << 1 << QStringList{"9 / 1", "10 / 0", "100 / 5", "007 / 2"}
                                       << QList<int>{3, 0, 1, 2} << QList<int>{2, 1, 0, 3};
    QTest::newRow("grouped digits and non-numbers last")
        << 2 << QStringList{"", "12,345 / 1", "-1 / 0", "999 / 9", "1,23 / 4", "20000 / 0"}
        << QList<int>{3, 1, 5, 0, 2, 4} << QList<int>{5, 1, 3, 0, 2, 4};
    QTest::newRow("equal counts keep their order")
        << 3 << QStringList{"5 / 1", "5 / 2", "4 / 0", "5 / 3"} << QList<int>{2, 0, 1, 3}
        << QList<int>{0, 1, 3, 2};
    QTest::newRow("beyond 64 bits")
        << 1 << QStringList{"99999999999999999999999", "18446744073709551616"} << QList<int>{1, 0}
        << QList<int>{0, 1};
}

void ResultsExportTest::sortOrder() {
    QFETCH(int, column);
    QFETCH(QStringList, cells);
    QFETCH(QList<int>, ascending);
    QFETCH(QList<int>, descending);
    QCOMPARE(SortedRowOrder(cells, column, Qt::AscendingOrder), ascending);
    QCOMPARE(SortedRowOrder(cells, column, Qt::DescendingOrder), descending);
}

QTEST_APPLESS_MAIN(ResultsExportTest)
#include "test_results_export.moc"
