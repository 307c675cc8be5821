#include "net/md5.h"
#include "service/epoll_dispatcher.h"
#include "service/form_decode.h"
#include "service/service_logic.h"
#include "service/store.h"

#include <QAbstractEventDispatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>

using namespace shoulu;

namespace {

QByteArray Token(const QString &domain) {
    return Md5Hex(domain + QStringLiteral("lumbe"), 32).toLatin1();
}

QByteArray QueryTarget(const QByteArray &encodedUrl, const QByteArray &token) {
    return "/index.php/Index/web_collection?url=" + encodedUrl + "&token=" + token;
}

QJsonObject Json(const Reply &reply) {
    return QJsonDocument::fromJson(reply.body).object();
}

// Leaves the accepted descriptor bare, so only the notifier under test watches it.
class BareAcceptServer : public QTcpServer {
public:
    qintptr accepted = -1;

protected:
    void incomingConnection(qintptr descriptor) override { accepted = descriptor; }
};

} // namespace

class ServiceLogicTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    CountStore store_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QString error;
        QVERIFY2(store_.open(dir_.filePath(QStringLiteral("t.db")), &error), qPrintable(error));
        QFile csv(dir_.filePath(QStringLiteral("t.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\r\n"
                  "example.com,1234567,89,\"12,345\",7,0,-3\r\n"
                  "a&b.com,1,2,3,4,5,6\n"
                  "c+d.com,1,1,1,1,1,1\n"
                  "\xe4\xb8\xad\xe6\x96\x87.cn,10,20,30,40,50,9007199254740993\n"
                  "\xef\xbb\xbf"
                  "bom.com,1,1,1,1,1,1\n");
        csv.close();
        int imported = 0;
        QVERIFY2(store_.importCsv(csv.fileName(), ImportMode::Merge, &imported, &error),
                 qPrintable(error));
        QCOMPARE(imported, 5);
    }

    void percentDecodeKeepsPlusAndDecodesUtf8() {
        QCOMPARE(PercentDecode("a+b%2Bc"), QStringLiteral("a+b+c"));
        QCOMPARE(PercentDecode("%E4%B8%AD.cn"), QStringLiteral("中.cn"));
        QCOMPARE(PercentDecode("a%26b%25"), QStringLiteral("a&b%"));
        QCOMPARE(PercentDecode(""), QString());
    }

    void percentDecodeRejectsMalformed_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("bad hex") << QByteArray("%zz");
        QTest::newRow("one digit at end") << QByteArray("a%4");
        QTest::newRow("lone percent") << QByteArray("%");
        QTest::newRow("invalid utf-8") << QByteArray("%FF%FE");
        QTest::newRow("truncated utf-8") << QByteArray("%E4%B8");
    }
    void percentDecodeRejectsMalformed() {
        QFETCH(QByteArray, raw);
        QVERIFY(!PercentDecode(raw).has_value());
    }

    void parseFormSplitsFieldsAndFindsRepeats() {
        const auto fields = ParseForm("url=a%26b&&token=T&flag&url=");
        QVERIFY(fields.has_value());
        QCOMPARE(fields->size(), 4);
        QCOMPARE(fields->at(0), FormField(QStringLiteral("url"), QStringLiteral("a&b")));
        QCOMPARE(fields->at(2), FormField(QStringLiteral("flag"), QString()));
        QString value;
        QCOMPARE(FindField(*fields, QStringLiteral("token"), &value), FieldLookup::Found);
        QCOMPARE(value, QStringLiteral("T"));
        QCOMPARE(FindField(*fields, QStringLiteral("url"), &value), FieldLookup::Repeated);
        QCOMPARE(FindField(*fields, QStringLiteral("sn"), &value), FieldLookup::Missing);
        QVERIFY(!ParseForm("url=%G0").has_value());
    }

    void csvLineQuoting() {
        QCOMPARE(SplitCsvLine(QStringLiteral("a,\"1,2\",\"say \"\"hi\"\"\",")),
                 QStringList({"a", "1,2", "say \"hi\"", ""}));
        QVERIFY(!SplitCsvLine(QStringLiteral("a,\"open")).has_value());
        QVERIFY(!SplitCsvLine(QStringLiteral("a,\"x\"y")).has_value());
    }

    void badCsvStoresNothing() {
        QFile csv(dir_.filePath(QStringLiteral("bad.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n"
                  "good.com,1,1,1,1,1,1\n"
                  "short.com,1,2\n");
        csv.close();
        int imported = -1;
        QString error;
        QVERIFY(!store_.importCsv(csv.fileName(), ImportMode::Merge, &imported, &error));
        QVERIFY2(error.contains(QStringLiteral(":3:")), qPrintable(error));
        QVERIFY(!store_.find(QStringLiteral("good.com")).has_value());
    }

    void countValues() {
        QCOMPARE(CountValue(QStringLiteral("1234567")), QJsonValue(qint64(1234567)));
        QCOMPARE(CountValue(QStringLiteral("-3")), QJsonValue(qint64(-3)));
        QCOMPARE(CountValue(QStringLiteral("12,345")), QJsonValue(QStringLiteral("12,345")));
        QCOMPARE(CountValue(QString()), QJsonValue(QString()));
        // Too long for a double to hold exactly: kept as text.
        QCOMPARE(CountValue(QStringLiteral("9007199254740993")),
                 QJsonValue(QStringLiteral("9007199254740993")));
    }

    void goodTokenGivesCounts() {
        ServiceLogic logic({}, &store_);
        const Reply reply =
            logic.handle({"GET", QueryTarget("example.com", Token("example.com")), {}});
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.contentType.startsWith("application/json"));
        const QJsonObject info = Json(reply)[QStringLiteral("info")].toObject();
        QCOMPARE(info[QStringLiteral("web")][QStringLiteral("domain")].toString(),
                 QStringLiteral("example.com"));
        QVERIFY(reply.body.contains("\"site\":1234567"));
        QVERIFY(reply.body.contains("\"site\":\"12,345\""));
        QCOMPARE(info[QStringLiteral("bing")][QStringLiteral("domain")].toInteger(), -3);
        QCOMPARE(info[QStringLiteral("so")][QStringLiteral("domain")].toInteger(), 7);
    }

    void tokenIsCheckedOnTheDecodedValue() {
        ServiceLogic logic({}, &store_);
        Reply reply = logic.handle({"GET", QueryTarget("a%26b.com", Token("a&b.com")), {}});
        QCOMPARE(
            Json(reply)[QStringLiteral("info")][QStringLiteral("web")][QStringLiteral("domain")]
                .toString(),
            QStringLiteral("a&b.com"));
        reply = logic.handle({"GET", QueryTarget("c+d.com", Token("c+d.com")), {}});
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(), 1);
        const QString chinese = QStringLiteral("中文.cn");
        reply = logic.handle(
            {"GET", QueryTarget(chinese.toUtf8().toPercentEncoding(), Token(chinese)), {}});
        QCOMPARE(
            Json(reply)[QStringLiteral("info")][QStringLiteral("web")][QStringLiteral("domain")]
                .toString(),
            chinese);
        reply = logic.handle(
            {"GET", QueryTarget("%EF%BB%BFbom.com", Token(QStringLiteral("\uFEFFbom.com"))), {}});
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(), 1);
        // A token of the encoded form must not pass.
        reply = logic.handle({"GET", QueryTarget("a%26b.com", Token("a%26b.com")), {}});
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(), messages::kBadToken);
    }

    void failedChecksAnswer200WithResultZero_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad token") << QueryTarget("example.com", "00") << messages::kBadToken;
        QTest::newRow("lowercase token")
            << QueryTarget("example.com", Token("example.com").toLower()) << messages::kBadToken;
        QTest::newRow("missing token")
            << QByteArray("/index.php/Index/web_collection?url=example.com") << messages::kBadToken;
        QTest::newRow("unknown domain")
            << QueryTarget("nowhere.com", Token("nowhere.com")) << messages::kUnknownDomain;
        QTest::newRow("case differs")
            << QueryTarget("EXAMPLE.COM", Token("EXAMPLE.COM")) << messages::kUnknownDomain;
        QTest::newRow("BOM before the domain")
            << QueryTarget("%EF%BB%BFexample.com", Token(QStringLiteral("\uFEFFexample.com")))
            << messages::kUnknownDomain;
        QTest::newRow("row stored with its BOM")
            << QueryTarget("bom.com", Token("bom.com")) << messages::kUnknownDomain;
    }
    void failedChecksAnswer200WithResultZero() {
        QFETCH(QByteArray, target);
        QFETCH(QString, message);
        ServiceLogic logic({}, &store_);
        const Reply reply = logic.handle({"GET", target, {}});
        QCOMPARE(reply.status, 200);
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(), message);
        QVERIFY(!Json(reply).contains(QStringLiteral("info")));
    }

    void badRequestsGet4xx_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray q = "/index.php/Index/web_collection";
        const QByteArray v = "/index.php/Index/soft_version";
        QTest::newRow("missing url") << QByteArray("GET") << q + "?token=AA" << QByteArray() << 400;
        QTest::newRow("no query") << QByteArray("GET") << q << QByteArray() << 400;
        QTest::newRow("repeated url")
            << QByteArray("GET") << q + "?url=a.com&url=a.com&token=A" << QByteArray() << 400;
        QTest::newRow("repeated token")
            << QByteArray("GET") << q + "?url=a.com&token=A&token=A" << QByteArray() << 400;
        QTest::newRow("malformed escape")
            << QByteArray("GET") << q + "?url=a%2.com&token=A" << QByteArray() << 400;
        QTest::newRow("malformed path")
            << QByteArray("GET") << QByteArray("/a%") << QByteArray() << 400;
        QTest::newRow("unknown path")
            << QByteArray("GET") << QByteArray("/index.php") << QByteArray() << 404;
        QTest::newRow("post to query") << QByteArray("POST") << q << QByteArray() << 405;
        QTest::newRow("get version") << QByteArray("GET") << v << QByteArray() << 405;
        QTest::newRow("missing sn") << QByteArray("POST") << v << QByteArray("x=1") << 400;
        QTest::newRow("repeated sn")
            << QByteArray("POST") << v << QByteArray("sn=tandri&sn=tandri") << 400;
        QTest::newRow("other sid page")
            << QByteArray("GET") << QByteArray("/index.php/Works/detail/sid/19") << QByteArray()
            << 404;
    }
    void badRequestsGet4xx() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        ServiceLogic logic({}, &store_);
        const Reply reply = logic.handle({method, target, body});
        QCOMPARE(reply.status, status);
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(-1), 0);
        QVERIFY(!Json(reply)[QStringLiteral("message")].toString().isEmpty());
    }

    void versionAnswers() {
        VersionSettings settings;
        settings.latestVersion = QStringLiteral("2.2.0");
        settings.sid = QStringLiteral("77");
        settings.must = QStringLiteral("1");
        ServiceLogic logic(settings, &store_);
        const QByteArray path = "/index.php/Index/soft_version";
        QJsonObject answer = Json(logic.handle({"POST", path, "sn=tandri"}));
        QCOMPARE(answer[QStringLiteral("result")].toInt(), 1);
        const QJsonObject info = answer[QStringLiteral("info")].toObject();
        QCOMPARE(info[QStringLiteral("version")].toString(), QStringLiteral("2.2.0"));
        QCOMPARE(info[QStringLiteral("sid")].toString(), QStringLiteral("77"));
        QCOMPARE(info[QStringLiteral("must")].toString(), QStringLiteral("1"));
        answer = Json(logic.handle({"POST", path, "sn=other"}));
        QCOMPARE(answer[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(answer[QStringLiteral("message")].toString(), messages::kUnknownProduct);
        // The update page follows the configured sid.
        const Reply page = logic.handle({"GET", "/index.php/Works/detail/sid/77", {}});
        QCOMPARE(page.status, 200);
        QVERIFY(page.contentType.startsWith("text/html"));
        QVERIFY(QString::fromUtf8(page.body).contains(QStringLiteral("替身")));
    }

    void refuseFlagRefusesEveryCheck() {
        VersionSettings settings;
        settings.refuse = true;
        settings.refuseMessage = QStringLiteral("停用了");
        ServiceLogic logic(settings, &store_);
        const QJsonObject answer =
            Json(logic.handle({"POST", "/index.php/Index/soft_version", "sn=tandri"}));
        QCOMPARE(answer[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(answer[QStringLiteral("message")].toString(), QStringLiteral("停用了"));
    }

    void homePagesSayTheyAreStandIns() {
        ServiceLogic logic({}, &store_);
        for (const char *path : {"/studio", "/company"}) {
            const Reply reply = logic.handle({"GET", path, {}});
            QCOMPARE(reply.status, 200);
            QVERIFY(QString::fromUtf8(reply.body).contains(QStringLiteral("shoulu-service")));
        }
        QCOMPARE(logic.handle({"GET", "https://localhost:1/studio", {}}).status, 200);
    }

    void storeNeverAnswersNoDataForAnError() {
        CountStore store;
        QString error;
        QVERIFY2(store.open(dir_.filePath(QStringLiteral("t.db")), &error), qPrintable(error));
        ServiceLogic logic({}, &store);
        const HttpRequest query{"GET", QueryTarget("example.com", Token("example.com")), {}};
        {
            QSqlDatabase writer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "writer");
            writer.setDatabaseName(dir_.filePath(QStringLiteral("t.db")));
            QVERIFY(writer.open());
            QSqlQuery sql(writer);
            QVERIFY(sql.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(sql.exec(QStringLiteral("DELETE FROM counts")));
            QElapsedTimer clock;
            clock.start();
            // A writer in the middle of its work neither blocks nor hides the stored rows.
            QCOMPARE(Json(logic.handle(query))[QStringLiteral("result")].toInt(), 1);
            QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(sql.exec(QStringLiteral("ROLLBACK")));
            QVERIFY(sql.exec(QStringLiteral("ALTER TABLE counts RENAME TO gone")));
            writer.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
        const Reply reply = logic.handle(query);
        QCOMPARE(reply.status, 503);
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(), messages::kStoreUnavailable);
    }
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

QTEST_GUILESS_MAIN(ServiceLogicTest)
#include "test_service_logic.moc"
