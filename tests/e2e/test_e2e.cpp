#include "core/results_export.h"
#include "net/http_client.h"
#include "net/http_get.h"
#include "net/post_form.h"
#include "service/store.h"
#include "tests/service/service_harness.h"
#include "tests/support/scripted_window.h"
#include "tests/support/temp_files.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace shoulu;
using namespace shoulu::testing;

namespace {

// The seven fields of one domain in the examples' CSV.
QStringList StoreFields(const QString &domain) {
    QFile csv(SourceDir() + QStringLiteral("/examples/counts.csv"));
    if (!csv.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QString &line : QString::fromUtf8(csv.readAll()).split(u'\n')) {
        const auto fields = SplitCsvLine(line.trimmed());
        if (fields && fields->size() == 7 && fields->first() == domain) {
            return *fields;
        }
    }
    return {};
}

// Counts of one domain as the result row shows them.
QStringList ExpectedRow(const QString &domain) {
    const QStringList fields = StoreFields(domain);
    if (fields.isEmpty()) {
        return {};
    }
    return {domain, fields[1] + QStringLiteral(" / ") + fields[2],
            fields[3] + QStringLiteral(" / ") + fields[4],
            fields[5] + QStringLiteral(" / ") + fields[6]};
}

QString DomainCountLine(const QString &entry, int count, int left) {
    return entry + QStringLiteral("查询完毕 | 共：%1个域名 | 剩余查询：%2个").arg(count).arg(left);
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ServiceProcess> service_;
    std::unique_ptr<HttpClient> client_;
    std::unique_ptr<ScriptedWindow> window_;

    // Starts a service with the sample counts and the given flags, then the window against it.
    void startSystem(const QStringList &serviceArgs) {
        service_ = std::make_unique<ServiceProcess>();
        QString error;
        QVERIFY2(service_->prepare(SourceDir() + QStringLiteral("/examples/counts.csv"), &error),
                 qPrintable(error));
        QVERIFY2(service_->start(serviceArgs, &error), qPrintable(error));
        client_ = std::make_unique<HttpClient>(service_->caPem());
        SetProgramClient(client_.get());
        const QString origin = service_->baseUrl();
        window_ = std::make_unique<ScriptedWindow>(
            FetchGet, PostForm,
            ServiceUrls{origin, origin, origin, origin + QStringLiteral("/studio"),
                        origin + QStringLiteral("/company")});
        window_->Form_Load();
    }

    template <typename T> T *child(const char *name) const {
        T *found = window_->findChild<T *>(QLatin1String(name));
        if (!found) {
            qFatal("no child %s", name);
        }
        return found;
    }

    QString panel2() const { return child<QLabel>("s1Panel2")->text(); }
    QTableWidget *table() const { return child<QTableWidget>("Listview1"); }

    QStringList row(int index) const {
        QStringList cells;
        for (int column = 0; column < 4; ++column) {
            const QTableWidgetItem *item = table()->item(index, column);
            cells << (item ? item->text() : QString());
        }
        return cells;
    }

    void waitForVersionCheckToPass() {
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("Command2")->isEnabled(), 20000);
        QCOMPARE(panel2(), QStringLiteral("当前为最新版本,欢迎使用澜序软件.."));
        QCOMPARE(window_->endCalls, 0);
    }

private slots:
    void cleanup() {
        window_.reset();
        client_.reset();
        if (service_) {
            const bool running = service_->isRunning();
            const int code = service_->stop();
            service_.reset();
            if (running) {
                QCOMPARE(code, 0); // also clean under the sanitizers
            }
        }
    }

    void versionCheckPassesAndEnablesTheBatchButton() {
        startSystem({});
        QVERIFY(!child<QPushButton>("Command2")->isEnabled());
        QCOMPARE(panel2(), QStringLiteral("正在检测程序最新版本.."));
        waitForVersionCheckToPass();
        QVERIFY(window_->boxes.isEmpty());
        QVERIFY(service_->log().contains(QStringLiteral("POST /index.php/Index/soft_version 200")));
    }

    void mandatoryNewerVersionDeclinedEndsTheProgram() {
        startSystem({QStringLiteral("--latest-version"), QStringLiteral("2.2.0"),
                     QStringLiteral("--must"), QStringLiteral("1")});
        window_->script.defaultYesNo = MessageAnswer::No;
        QTRY_COMPARE_WITH_TIMEOUT(window_->endCalls, 1, 20000);
        QCOMPARE(window_->boxes.size(), 1);
        QCOMPARE(window_->boxes[0].text, QStringLiteral("发现最新版本2.2.0，是否现在更新?"));
        QCOMPARE(window_->boxes[0].title, QStringLiteral("提示"));
        QCOMPARE(window_->boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(window_->browserUrls.isEmpty());
        QVERIFY(!child<QPushButton>("Command2")->isEnabled());
    }

    void acceptedUpdateOpensTheStandInUpdatePage() {
        startSystem({QStringLiteral("--latest-version"), QStringLiteral("2.1.1")});
        window_->script.defaultYesNo = MessageAnswer::Yes;
        QTRY_COMPARE_WITH_TIMEOUT(window_->endCalls, 1, 20000);
        QCOMPARE(
            window_->browserUrls,
            QStringList{service_->baseUrl() + QStringLiteral("/index.php/Works/detail/sid/18")});
        // The page the program would open exists on the stand-in.
        const testing::HttpResult page =
            HttpsRequest("GET", window_->browserUrls[0], service_->caPem());
        QCOMPARE(page.status, 200);
        QVERIFY(QString::fromUtf8(page.body).contains(QStringLiteral("替身")));
    }

    void refusedRunShowsTheServiceMessageAndEnds() {
        startSystem({QStringLiteral("--refuse"), QStringLiteral("--refuse-message"),
                     QStringLiteral("本版本已停用")});
        QTRY_COMPARE_WITH_TIMEOUT(window_->endCalls, 1, 20000);
        QCOMPARE(window_->boxes.size(), 1);
        QCOMPARE(window_->boxes[0].text, QStringLiteral("本版本已停用"));
        QCOMPARE(window_->boxes[0].title, QStringLiteral("提示"));
        QCOMPARE(window_->boxes[0].buttons, QMessageBox::Ok);
        QVERIFY(!child<QPushButton>("Command2")->isEnabled());
    }

    void importAndBatchOverThreeSampleDomains() {
        startSystem({});
        waitForVersionCheckToPass();
        window_->script.answers = {
            ChooseFile{SourceDir() + QStringLiteral("/examples/domains.txt")}};
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(panel2(), QStringLiteral("列表加载成功!共8个域名"));
        auto *list = child<QListWidget>("List1");
        QCOMPARE(list->count(), 8);
        QCOMPARE(list->item(1)->text(), QStringLiteral("example.net")); // "www." dropped
        QCOMPARE(list->item(2)->text(), QStringLiteral("example.org")); // "http://" dropped
        // Keep the first three: double-click the last entry until three are left.
        while (list->count() > 3) {
            const QRect rect = list->visualItemRect(list->item(list->count() - 1));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        }
        QCOMPARE(list->count(), 3);
        QCOMPARE(child<QSlider>("Slider1")->value(), 3);

        window_->panel2History.clear();
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(panel2(), QStringLiteral("所有域名已查询完毕!"), 30000);

        QCOMPARE(table()->rowCount(), 3);
        const QStringList domains = {QStringLiteral("example.com"), QStringLiteral("example.net"),
                                     QStringLiteral("example.org")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(row(i), ExpectedRow(domains[i]));
        }
        QCOMPARE(window_->panel2History,
                 QStringList({DomainCountLine(domains[0], 3, 2), DomainCountLine(domains[1], 3, 1),
                              DomainCountLine(domains[2], 3, 0),
                              QStringLiteral("所有域名已查询完毕!")}));
        QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("批量查询"));
    }

    void ampersandAndChineseDomainsPassTheTokenCheck() {
        startSystem({});
        waitForVersionCheckToPass();
        const QStringList domains = {QStringLiteral("a&b.example.com"),
                                     QStringLiteral("中文示例.cn")};
        for (const QString &domain : domains) {
            window_->script.answers = {AddDomain(domain, true)};
            QTest::mouseClick(child<QPushButton>("Command6"), Qt::LeftButton);
        }
        QCOMPARE(table()->rowCount(), 2);
        QCOMPARE(row(0), ExpectedRow(domains[0]));
        QCOMPARE(row(1), ExpectedRow(domains[1]));
        QCOMPARE(panel2(), DomainCountLine(domains[1], 2, 0));
        QCOMPARE(service_->log().count(QStringLiteral("GET /index.php/Index/web_collection 200")),
                 2);
    }

    void serviceKilledMidBatchLeavesLaterQueriesWithoutRows() {
        startSystem({});
        waitForVersionCheckToPass();
        QTemporaryDir dir;
        window_->script.answers = {ChooseFile{WriteTempFile(
            dir, "four.txt", "example.com\r\nexample.net\r\nexample.org\r\nshop.example.com\r\n")}};
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(child<QListWidget>("List1")->count(), 4);

        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
        // The first query runs inside the click; then the service dies before the next tick.
        QCOMPARE(table()->rowCount(), 1);
        service_->kill();
        QVERIFY(!service_->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(panel2(), QStringLiteral("所有域名已查询完毕! 其中3个未查到"),
                                  60000);
        QVERIFY(window_->panel2History.contains(
            QStringLiteral("example.net查询失败(无法连接查询服务) | 共：4个域名 | 剩余查询：2个")));
        QCOMPARE(table()->rowCount(), 1);
        QCOMPARE(row(0), ExpectedRow(QStringLiteral("example.com")));
        QCOMPARE(window_->endCalls, 0);
        QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("批量查询"));
    }

    void sampleBatchExportsAndRechecksOnlyTheFailed() {
        startSystem({});
        waitForVersionCheckToPass();
        QTemporaryDir dir;
        const QString csvPath = dir.filePath(QStringLiteral("结果.csv"));
        window_->script.answers = {
            ChooseFile{SourceDir() + QStringLiteral("/examples/domains.txt")}, ChooseFile{csvPath},
            DialogBody([](QDialog &dialog) {
                dialog.findChild<QPushButton *>(QStringLiteral("recheckButton"))->click();
            })};
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
        // Ticks by hand rather than at the pace of the slider.
        while (window_->logic().batchRunning()) {
            window_->logic().Timer1_Timer();
        }
        QCOMPARE(table()->rowCount(), 6);

        child<QAction>("exportResults")->trigger();
        const QByteArray bytes = ReadFileBytes(csvPath);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QStringList lines = QString::fromUtf8(bytes.sliced(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), 7);
        QCOMPARE(SplitCsvLine(lines[0]), ResultHeadings());
        for (int i = 1; i < lines.size(); ++i) {
            QStringList expected = StoreFields(row(i - 1)[0]);
            for (QString &field : expected) {
                field = NeutraliseCell(field); // the "-" of news.example.info
            }
            QCOMPARE(SplitCsvLine(lines[i]).value_or(QStringList()), expected);
        }

        const QList<FailedEntry> failed = window_->logic().ledger().listed();
        QCOMPARE(failed.size(), 2);
        QCOMPARE(failed[0].domain, QStringLiteral("missing.example.net"));
        QCOMPARE(failed[0].reason, QStringLiteral("暂无该域名的收录数据"));
        QCOMPARE(failed[1].domain, QStringLiteral("bad.example.io"));
        QCOMPARE(failed[1].reason, QStringLiteral("域名不正确"));

        // 补查 from the failed-domains dialog: one more query, not of the skipped entry, and the
        // six rows stay.
        child<QAction>("showFailed")->trigger();
        while (window_->logic().batchRunning()) {
            window_->logic().Timer1_Timer();
        }
        QVERIFY(window_->script.answers.isEmpty());
        QCOMPARE(child<QListWidget>("List1")->count(), 1);
        QCOMPARE(table()->rowCount(), 6);
        QCOMPARE(row(0), ExpectedRow(QStringLiteral("example.com")));
        QCOMPARE(service_->log().count(QStringLiteral("GET /index.php/Index/web_collection 200")),
                 8);
        QCOMPARE(window_->logic().ledger().listed().size(), 1);
    }
};

QTEST_MAIN(EndToEndTest)
#include "test_e2e.moc"
