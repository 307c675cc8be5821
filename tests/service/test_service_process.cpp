#include "net/md5.h"
#include "tests/service/service_harness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QtTest>

using namespace shoulu;
using namespace shoulu::testing;
using namespace std::chrono_literals;

namespace {

const QByteArray kCsv = "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n"
                        "example.com,128000,5230,96400,3100,210500,8800\n"
                        "news.example.info,\"12,345\",870,约1万,455,0,-\n"
                        "a&b.example.com,11,2,13,3,17,5\n"
                        "中文示例.cn,321,45,298,40,512,66\n";

QString QueryUrl(const ServiceProcess &service, const QString &domain) {
    return service.baseUrl() + QStringLiteral("/index.php/Index/web_collection?url=") +
           QString::fromLatin1(domain.toUtf8().toPercentEncoding()) + QStringLiteral("&token=") +
           Md5Hex(domain + QStringLiteral("lumbe"), 32);
}

QJsonObject Json(const QByteArray &body) {
    return QJsonDocument::fromJson(body).object();
}

QString Member(const QJsonObject &root, const QString &path) {
    QJsonValue value = root;
    for (const QString &name : path.split(u'.')) {
        value = value.toObject().value(name);
    }
    return value.isDouble() ? QString::number(value.toInteger()) : value.toString();
}

QByteArray Get(const QByteArray &target) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

} // namespace

class ServiceProcessTest : public QObject {
    Q_OBJECT

private:
    ServiceProcess service_;

    void expectStillServing() {
        const HttpResult good = HttpsRequest(
            "GET", QueryUrl(service_, QStringLiteral("example.com")), service_.caPem());
        QVERIFY2(good.ok, qPrintable(good.error));
        QCOMPARE(Member(Json(good.body), QStringLiteral("info.bd.site")), QStringLiteral("128000"));
        QVERIFY(service_.isRunning());
    }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(service_.prepareWithCsv(kCsv, &error), qPrintable(error));
        QVERIFY2(
            service_.start({QStringLiteral("--idle-timeout-ms"), QStringLiteral("1500")}, &error),
            qPrintable(error));
        QVERIFY(service_.log().contains(QStringLiteral("4 domains in store")));
    }

    void queryAnswersTheStoredCounts() {
        const HttpResult result = HttpsRequest(
            "GET", QueryUrl(service_, QStringLiteral("example.com")), service_.caPem());
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.status, 200);
        QVERIFY(result.body.contains("\"site\":128000"));
        const QJsonObject answer = Json(result.body);
        QCOMPARE(Member(answer, QStringLiteral("info.web.domain")), QStringLiteral("example.com"));
        QCOMPARE(Member(answer, QStringLiteral("info.bd.domain")), QStringLiteral("5230"));
        QCOMPARE(Member(answer, QStringLiteral("info.so.site")), QStringLiteral("96400"));
        QCOMPARE(Member(answer, QStringLiteral("info.bing.domain")), QStringLiteral("8800"));
    }

    void ampersandAndChineseArriveIntact() {
        for (const QString &domain :
             {QStringLiteral("a&b.example.com"), QStringLiteral("中文示例.cn")}) {
            const HttpResult result =
                HttpsRequest("GET", QueryUrl(service_, domain), service_.caPem());
            QVERIFY2(result.ok, qPrintable(result.error));
            QCOMPARE(Member(Json(result.body), QStringLiteral("info.web.domain")), domain);
        }
    }

    void versionCheckDefaults() {
        const QString url = service_.baseUrl() + QStringLiteral("/index.php/Index/soft_version");
        HttpResult result = HttpsRequest("POST", url, service_.caPem(), "sn=tandri");
        QVERIFY2(result.ok, qPrintable(result.error));
        const QJsonObject answer = Json(result.body);
        QCOMPARE(Member(answer, QStringLiteral("result")), QStringLiteral("1"));
        QCOMPARE(Member(answer, QStringLiteral("info.version")), QStringLiteral("2.1.0"));
        QCOMPARE(Member(answer, QStringLiteral("info.sid")), QStringLiteral("18"));
        QCOMPARE(Member(answer, QStringLiteral("info.must")), QStringLiteral("0"));
        result = HttpsRequest("POST", url, service_.caPem(), "sn=other");
        QCOMPARE(Member(Json(result.body), QStringLiteral("result")), QStringLiteral("0"));
        QCOMPARE(Member(Json(result.body), QStringLiteral("message")),
                 QStringLiteral("未知的软件编号"));
        result = HttpsRequest("GET",
                              service_.baseUrl() + QStringLiteral("/index.php/Works/detail/sid/18"),
                              service_.caPem());
        QCOMPARE(result.status, 200);
        QVERIFY(QString::fromUtf8(result.body).contains(QStringLiteral("本地替身")));
    }

    void badInputsGet4xxOrAClosedConnection_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // 0: the connection is closed without an answer
        const QByteArray q = "/index.php/Index/web_collection";
        QTest::newRow("malformed escape") << Get(q + "?url=%zz.com&token=A") << 400;
        QTest::newRow("wrong method") << Get("/index.php/Index/soft_version") << 405;
        QTest::newRow("garbage line") << QByteArray("HELLO\r\n\r\n") << 400;
        QTest::newRow("body over 64 KiB")
            << QByteArray("POST /index.php/Index/soft_version HTTP/1.1\r\nHost: localhost\r\n"
                          "Content-Type: application/x-www-form-urlencoded\r\n"
                          "Content-Length: 70000\r\n\r\nsn=tandri&x=" +
                          QByteArray(70000 - 12, 'a'))
            << 413;
        QTest::newRow("huge body")
            << QByteArray("POST /index.php/Index/soft_version HTTP/1.1\r\nHost: localhost\r\n"
                          "Content-Length: 4000000\r\n\r\n" +
                          QByteArray(4000000, 'a'))
            << 413;
    }
    void badInputsGet4xxOrAClosedConnection() {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        const RawResult result = RawHttpsExchange(service_.port(), service_.caPem(), request);
        QVERIFY(result.connected);
        if (result.status() != 0) {
            QCOMPARE(result.status(), status);
            QCOMPARE(Member(Json(result.body()), QStringLiteral("result")), QStringLiteral("0"));
        } else {
            QVERIFY2(result.closedByServer, result.response.constData());
        }
        expectStillServing();
    }

    void silentClientIsClosedAndOthersAreServed() {
        QTcpSocket silent;
        silent.connectToHost(QHostAddress::LocalHost, service_.port());
        QVERIFY(silent.waitForConnected(5000));
        expectStillServing();
        // The idle limit is 1.5 s here; the service must hang up well within 10 s.
        QVERIFY(silent.state() == QAbstractSocket::UnconnectedState ||
                silent.waitForDisconnected(10000));
        expectStillServing();
    }

    void logHasOneLinePerRequest() {
        const HttpResult result = HttpsRequest(
            "GET", service_.baseUrl() + QStringLiteral("/studio?x=%41"), service_.caPem());
        QCOMPARE(result.status, 200);
        QTRY_VERIFY_WITH_TIMEOUT(service_.log().contains(QRegularExpression(
                                     QStringLiteral("\\n\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z GET /studio "
                                                    "200 \\d+\\.\\d+ms\\n"))),
                                 5000);
        QVERIFY(
            service_.log().contains(QStringLiteral(" GET /index.php/Index/web_collection 200 ")));
    }

    void versionFlagsAndRefusal() {
        ServiceProcess other;
        QString error;
        QVERIFY2(other.prepare(QString(), &error), qPrintable(error));
        QVERIFY2(other.start({QStringLiteral("--latest-version"), QStringLiteral("2.2.0"),
                              QStringLiteral("--sid"), QStringLiteral("77"),
                              QStringLiteral("--must"), QStringLiteral("1")},
                             &error),
                 qPrintable(error));
        const QString url = other.baseUrl() + QStringLiteral("/index.php/Index/soft_version");
        HttpResult result = HttpsRequest("POST", url, other.caPem(), "sn=tandri");
        QCOMPARE(Member(Json(result.body), QStringLiteral("info.version")),
                 QStringLiteral("2.2.0"));
        QCOMPARE(Member(Json(result.body), QStringLiteral("info.sid")), QStringLiteral("77"));
        QCOMPARE(Member(Json(result.body), QStringLiteral("info.must")), QStringLiteral("1"));

        QVERIFY2(other.start({QStringLiteral("--refuse")}, &error), qPrintable(error));
        result =
            HttpsRequest("POST", other.baseUrl() + QStringLiteral("/index.php/Index/soft_version"),
                         other.caPem(), "sn=tandri");
        QCOMPARE(Member(Json(result.body), QStringLiteral("result")), QStringLiteral("0"));
        QCOMPARE(Member(Json(result.body), QStringLiteral("message")),
                 QStringLiteral("当前版本已停止使用，请联系澜序软件获取新版本"));
    }

    void helpListsEveryFlag() {
        QString output;
        QCOMPARE(RunServiceCommand({QStringLiteral("--help")}, &output), 0);
        for (const char *flag :
             {"--listen", "--cert", "--key", "--db", "--latest-version", "--sid", "--must",
              "--refuse", "--refuse-message", "--idle-timeout-ms", "import FILE.csv"}) {
            QVERIFY2(output.contains(QLatin1String(flag)), flag);
        }
    }

    void importRejectsABadFileAndLoadsTheExamples() {
        QTemporaryDir dir;
        QFile bad(dir.filePath(QStringLiteral("bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("domain,bd_site\nx.com,1\n");
        bad.close();
        const QString db = dir.filePath(QStringLiteral("x.db"));
        QString output;
        QCOMPARE(
            RunServiceCommand(
                {QStringLiteral("import"), bad.fileName(), QStringLiteral("--db"), db}, &output),
            1);
        QVERIFY2(output.contains(QStringLiteral("bad.csv:1")), qPrintable(output));
        QCOMPARE(RunServiceCommand({QStringLiteral("import"),
                                    SourceDir() + QStringLiteral("/examples/counts.csv"),
                                    QStringLiteral("--db"), db},
                                   &output),
                 0);
        QVERIFY2(output.contains(QStringLiteral("imported 8 rows")), qPrintable(output));
    }

    void listensOnLoopbackOnly() {
        QString output;
        QTemporaryDir dir;
        QCOMPARE(RunServiceCommand(
                     {QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0"),
                      QStringLiteral("--cert"), service_.folder() + QStringLiteral("/server.pem"),
                      QStringLiteral("--key"), service_.folder() + QStringLiteral("/server.key"),
                      QStringLiteral("--db"), dir.filePath(QStringLiteral("x.db"))},
                     &output),
                 1);
        QVERIFY2(output.contains(QStringLiteral("loopback")), qPrintable(output));
    }

    void stopsCleanlyOnTerm() {
        expectStillServing();
        // Exit code 0 also means the sanitizers, when built in, found nothing at exit.
        QCOMPARE(service_.stop(), 0);
        QVERIFY(!service_.isRunning());
        QVERIFY(!service_.log().contains(QStringLiteral("runtime error")));
    }
};

QTEST_GUILESS_MAIN(ServiceProcessTest)
#include "test_service_process.moc"
