#include "net/md5.h"
#include "tests/service/service_harness.h"
#include "tests/support/https_test_server.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace shoulu;
using namespace shoulu::testing;
using namespace std::chrono_literals;

namespace {

const QByteArray kCsv = "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n"
                        "example.com,128000,5230,96400,3100,210500,8800\n"
                        "news.example.info,\"12,345\",870,约1万,455,0,-\n"
                        "a&b.example.com,11,2,13,3,17,5\n"
                        "中文示例.cn,321,45,298,40,512,66\n";

// The smallest --log-max-bytes.
constexpr qint64 kLogCap = 64 * 1024;

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

QByteArray Get(const QByteArray &target, const QByteArray &headers = {}) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n";
}

QByteArray Chunked(const QByteArray &chunks) {
    return "POST /index.php/Index/soft_version HTTP/1.1\r\nHost: localhost\r\n"
           "Transfer-Encoding: chunked\r\n\r\n" +
           chunks;
}

// A TLS connection that has finished its handshake, or a failed test. The test's timers run
// meanwhile.
bool ConnectTls(QSslSocket &socket, const ServiceProcess &service) {
    socket.setSslConfiguration(TrustingConfiguration(service.caPem()));
    socket.connectToHostEncrypted(QStringLiteral("localhost"), service.port());
    return QTest::qWaitFor([&socket] { return socket.isEncrypted(); }, 5000);
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
        QVERIFY2(service_.start({QStringLiteral("--idle-timeout-ms"), QStringLiteral("1500"),
                                 QStringLiteral("--handshake-timeout-ms"), QStringLiteral("1500"),
                                 QStringLiteral("--request-timeout-ms"), QStringLiteral("2500")},
                                &error),
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

    void eachRequestGetsOneAnswer_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QList<int>>("statuses"); // the answers in turn; the server then closes
        const QByteArray query = "/index.php/Index/web_collection?url=example.com&token=" +
                                 Md5Hex(QStringLiteral("example.comlumbe"), 32).toLatin1();
        const QByteArray close = "Connection: close\r\n";
        QTest::newRow("300 KiB pipelined")
            << Get(query).repeated(2500) + Get(query, close) << QList<int>(2501, 200);
        QTest::newRow("connection close") << Get("/studio", close) + Get("/studio") << QList{200};
        QTest::newRow("HTTP/1.0") << "GET /studio HTTP/1.0\r\n\r\n" + Get("/studio") << QList{200};
        QTest::newRow("HTTP/1.0 keep-alive")
            << "GET /studio HTTP/1.0\r\nConnection: keep-alive\r\n\r\n" + Get("/studio", close)
            << QList{200, 200};
        QTest::newRow("bad chunk size") << Chunked("zz\r\nsn=tandri\r\n0\r\n\r\n") << QList{400};
        // Each read ends inside a request, so the input never runs dry.
        QTest::newRow("30 MB, always a partial request")
            << Get("/studio", "X-Pad: " + QByteArray(15000, 'a') + "\r\n").repeated(2000) +
                   Get("/studio", close)
            << QList<int>(2001, 200);
        const QByteArray padded = Get("/studio", "X-Pad: \r\n");
        QTest::newRow("heads of 16 KiB and a byte more")
            << Get("/studio", "X-Pad: " + QByteArray(16 * 1024 - padded.size(), 'a') + "\r\n") +
                   Get("/studio",
                       "X-Pad: " + QByteArray(16 * 1024 + 1 - padded.size(), 'a') + "\r\n")
            << QList{200, 431};
        QTest::newRow("thousands of trailers")
            << Chunked("9\r\nsn=tandri\r\n0\r\n" + QByteArray("X-T: 1\r\n").repeated(5000) + "\r\n")
            << QList{431};
    }
    void eachRequestGetsOneAnswer() {
        QFETCH(QByteArray, request);
        QFETCH(QList<int>, statuses);
        [[maybe_unused]] const qint64 peak = ResidentKiB(service_.pid(), Resident::Peak);
        const RawResult result =
            RawHttpsExchange(service_.port(), service_.caPem(), request, 20s, true);
        QVERIFY(result.connected);
        QVERIFY2(result.closedByServer, result.response.left(300).constData());
        QCOMPARE(result.statuses(), statuses);
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer's quarantine holds on to freed memory
        // A connection holds what its limits allow, whatever the client sends.
        const qint64 grown = ResidentKiB(service_.pid(), Resident::Peak) - peak;
        QVERIFY2(peak < 0 || grown < 16 * 1024, qPrintable(QString::number(grown)));
#endif
        expectStillServing();
    }

    void abandonedHandshakesDoNotStopAccepting() {
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < 80; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, service_.port());
            QVERIFY(socket->waitForConnected(5000));
            if (i % 2 == 0) {
                socket->abort(); // an "is the port open?" check
            } else {
                silent.push_back(std::move(socket));
            }
        }
        const HttpResult good = HttpsRequest(
            "GET", QueryUrl(service_, QStringLiteral("example.com")), service_.caPem(), {}, 1s);
        QVERIFY2(good.ok, qPrintable(good.error));
    }

    void plainHttpOnTheTlsPortIsClosed() {
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, service_.port());
        QVERIFY(plain.waitForConnected(5000));
        plain.write(Get("/studio"));
        QTRY_COMPARE_WITH_TIMEOUT(plain.state(), QAbstractSocket::UnconnectedState, 5000);
        QVERIFY(!plain.readAll().contains("HTTP/1.1"));
        expectStillServing();
    }

    void clientThatDoesNotReadIsCutOff() {
        [[maybe_unused]] const qint64 before = ResidentKiB(service_.pid());
        QSslSocket greedy;
        greedy.setReadBufferSize(1024);
        QVERIFY(ConnectTls(greedy, service_));
        const QByteArray burst = Get(QueryUrl(service_, QStringLiteral("example.com"))
                                         .sliced(service_.baseUrl().size())
                                         .toLatin1())
                                     .repeated(500);
        const QDeadlineTimer deadline(8s);
        while (greedy.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            if (greedy.bytesToWrite() < 4 * 1024 * 1024) {
                greedy.write(burst);
            }
            greedy.waitForBytesWritten(50);
        }
        QVERIFY2(greedy.state() != QAbstractSocket::ConnectedState, "still connected after 8 s");
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer's quarantine holds on to freed memory
        const qint64 grown = ResidentKiB(service_.pid()) - before;
        QVERIFY2(before < 0 || grown < 64 * 1024, qPrintable(QString::number(grown)));
#endif
        expectStillServing();
    }

    void slowClientsAreCut_data() {
        QTest::addColumn<QByteArray>("sent");    // at once
        QTest::addColumn<QByteArray>("dripped"); // then one byte every 200 ms
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("withinMs");
        // Each byte well within the idle limit; the request deadline is 2.5 s.
        QTest::newRow("a head byte by byte")
            << QByteArray() << Get("/studio") << QByteArray("HTTP/1.1 408") << 5000;
        // After its last answer a connection waits for the client's leftovers, 2 s at most.
        QTest::newRow("bytes after a 400") << QByteArray("HELLO\r\n\r\n") << QByteArray(30, 'x')
                                           << QByteArray("HTTP/1.1 400") << 4000;
    }
    void slowClientsAreCut() {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, dripped);
        QFETCH(QByteArray, answer);
        QFETCH(int, withinMs);
        // The default idle limit, 15 s: only the deadline under test can close it in time.
        ServiceProcess other;
        QString error;
        QVERIFY2(other.prepareWithCsv(kCsv, &error), qPrintable(error));
        QVERIFY2(
            other.start({QStringLiteral("--request-timeout-ms"), QStringLiteral("2500")}, &error),
            qPrintable(error));
        QSslSocket slow;
        QVERIFY(ConnectTls(slow, other));
        slow.write(sent);
        QElapsedTimer clock;
        clock.start();
        for (qsizetype i = 0; i < dripped.size() && slow.state() == QAbstractSocket::ConnectedState;
             ++i) {
            slow.write(dripped.sliced(i, 1));
            slow.waitForDisconnected(200);
        }
        QVERIFY(slow.state() != QAbstractSocket::ConnectedState);
        QVERIFY2(clock.elapsed() < withinMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(slow.readAll().startsWith(answer));
    }

    void fullServiceLetsARealClientIn_data() {
        QTest::addColumn<bool>("tls");        // the holders finish their TLS handshake
        QTest::addColumn<QByteArray>("sent"); // then send this, and wait
        QTest::addColumn<bool>("dripping");   // or send a byte every 100 ms besides
        QTest::newRow("silent TCP") << false << QByteArray() << false;
        QTest::newRow("TLS, then nothing") << true << QByteArray() << false;
        QTest::newRow("TLS, then a request line")
            << true << QByteArray("GET / HTTP/1.1\r\n") << false;
        QTest::newRow("TLS, then a head without its body")
            << true
            << QByteArray(
                   "POST /index.php/Index/soft_version HTTP/1.1\r\nContent-Length: 9\r\n\r\n")
            << false;
        QTest::newRow("TLS, a 400, then bytes") << true << QByteArray("HELLO\r\n\r\n") << true;
    }
    void fullServiceLetsARealClientIn() {
        QFETCH(bool, tls);
        QFETCH(QByteArray, sent);
        QFETCH(bool, dripping);
        ServiceProcess other;
        QString error;
        QVERIFY2(other.prepareWithCsv(kCsv, &error), qPrintable(error));
        QVERIFY2(other.start({QStringLiteral("--max-connections"), QStringLiteral("8")}, &error),
                 qPrintable(error));
        std::vector<std::unique_ptr<QSslSocket>> holders;
        QTimer drip;
        connect(&drip, &QTimer::timeout, this, [&holders] {
            for (const auto &holder : holders) {
                holder->write("x");
            }
        });
        if (dripping) {
            drip.start(100ms);
        }
        for (int i = 0; i < 10; ++i) {
            QSslSocket &holder = *holders.emplace_back(std::make_unique<QSslSocket>());
            if (tls) {
                QVERIFY(ConnectTls(holder, other));
                holder.write(sent);
            } else {
                holder.connectToHost(QHostAddress::LocalHost, other.port());
                QVERIFY(holder.waitForConnected(5000));
            }
        }
        QTest::qWait(300);
        const auto closed = std::count_if(holders.begin(), holders.end(), [](const auto &holder) {
            return holder->state() != QAbstractSocket::ConnectedState;
        });
        // Two over the cap: the newcomers are closed while the holders are handshakes younger
        // than a second, left to finish; holders through theirs are closed for the newcomers.
        QCOMPARE(closed, 2);
        if (!tls) {
            // Handshakes are closed for a newcomer once they are a second old.
            QTest::qWait(1000);
        }
        // The oldest holder makes room for a client that sends its request at once.
        QVERIFY(HttpsRequest("GET", QueryUrl(other, QStringLiteral("example.com")), other.caPem(),
                             {}, 1s)
                    .ok);
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

    // Routing and the log take the same path; the query is left out of the log, and bytes
    // that could rewrite or cut a line are escaped.
    void logHasOnePlainLinePerRequest_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("logged"); // between the time and the duration
        const QByteArray own = "https://localhost:" + QByteArray::number(service_.port());
        QTest::newRow("query left out")
            << QByteArray("/studio?x=%41") << 200 << QStringLiteral("GET /studio 200");
        QTest::newRow("absolute form")
            << own + "/studio?x" << 200 << QStringLiteral("GET /studio 200");
        QTest::newRow("foreign authority")
            << QByteArray("https://x?/index.php/Index/web_collection?url=example.com") << 400
            << QStringLiteral("GET - 400");
        QTest::newRow("control bytes")
            << QByteArray("/studio\r2099-01-01T00:00:00.000Z\x1b[2K") + '\0' + "\x7f\x9b" << 400
            << QStringLiteral("GET /studio%0D2099-01-01T00:00:00.000Z%1B[2K%00%7F%9B 400");
    }
    void logHasOnePlainLinePerRequest() {
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        QFETCH(QString, logged);
        QCOMPARE(RawHttpsExchange(service_.port(), service_.caPem(), Get(target)).status(), status);
        QTRY_VERIFY_WITH_TIMEOUT(
            service_.log().contains(QRegularExpression(
                QStringLiteral("\\n\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z ") +
                QRegularExpression::escape(logged) + QStringLiteral(" \\d+\\.\\d+ms\\n"))),
            5000);
        QVERIFY(!service_.log().contains(QRegularExpression(QStringLiteral("[^\\n -~]"))));
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
              "--refuse", "--refuse-message", "--idle-timeout-ms", "--handshake-timeout-ms",
              "--request-timeout-ms", "--max-connections", "--log-file", "--log-max-bytes",
              "--merge", "import FILE.csv"}) {
            QVERIFY2(output.contains(QLatin1String(flag)), flag);
        }
    }

    void importRefusesWhatItCannotStore_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("db"); // "fresh": a new file
        QTest::addColumn<QString>("expected");
        const QByteArray header =
            "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n";
        QTest::newRow("wrong header") << QByteArray("domain,bd_site\nx.com,1\n")
                                      << QStringLiteral("fresh") << QStringLiteral("bad.csv:1");
        QTest::newRow("GBK") << header + "a.cn,1,1,1,1,1,1\n\xd6\xd0\xce\xc4.cn,1,1,1,1,1,1\n"
                             << QStringLiteral("fresh") << QStringLiteral("bad.csv:3: not UTF-8");
        QTest::newRow("cut last line")
            << header + "a.cn,1,1,1,1,1,1\xe4\xb8" << QStringLiteral("fresh")
            << QStringLiteral("bad.csv:2: not UTF-8");
        QTest::newRow("empty count")
            << header + "a.cn,1,,1,1,1,1\n"
            << QStringLiteral("fresh") << QStringLiteral("bad.csv:2: empty bd_domain");
        QTest::newRow("endless line")
            << header + QByteArray(1 << 20, 'a') << QStringLiteral("fresh")
            << QStringLiteral("bad.csv:2: longer than");
        QTest::newRow("empty db") << header << QStringLiteral("") << QStringLiteral("--db");
        QTest::newRow("memory db")
            << header << QStringLiteral(":memory:") << QStringLiteral("--db");
    }
    void importRefusesWhatItCannotStore() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, db);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile bad(dir.filePath(QStringLiteral("bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(csv);
        bad.close();
        QString output;
        const QString store =
            db == QStringLiteral("fresh") ? dir.filePath(QStringLiteral("x.db")) : db;
        QCOMPARE(
            RunServiceCommand(
                {QStringLiteral("import"), bad.fileName(), QStringLiteral("--db"), store}, &output),
            1);
        QVERIFY2(output.contains(expected), qPrintable(output));
    }

    void importReplacesUnlessMerging() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("x.db"));
        const QString examples = SourceDir() + QStringLiteral("/examples/counts.csv");
        QString output;
        QCOMPARE(RunServiceCommand({QStringLiteral("import"), examples, QStringLiteral("--db"), db},
                                   &output),
                 0);
        QVERIFY2(output.contains(QStringLiteral("imported 8 rows")), qPrintable(output));
        QFile one(dir.filePath(QStringLiteral("one.csv")));
        QVERIFY(one.open(QIODevice::WriteOnly));
        one.write(kCsv.first(kCsv.indexOf("news.")));
        one.close();
        const QStringList import = {QStringLiteral("import"), one.fileName(),
                                    QStringLiteral("--db"), db};
        QCOMPARE(RunServiceCommand(import + QStringList{QStringLiteral("--merge")}, &output), 0);
        QVERIFY2(output.contains(QStringLiteral("holds 8 domains")), qPrintable(output));
        QCOMPARE(RunServiceCommand(import, &output), 0);
        QVERIFY2(output.contains(QStringLiteral("holds 1 domains")), qPrintable(output));
    }

    void readyLineAndLogFile_data() {
        QTest::addColumn<bool>("blocked"); // FILE.1 is a folder, so the file cannot be moved
        QTest::newRow("moved aside") << false;
        QTest::newRow("FILE.1 a folder") << true;
    }
    void readyLineAndLogFile() {
        QFETCH(bool, blocked);
        ServiceProcess other;
        QString error;
        QVERIFY2(other.prepare(QString(), &error), qPrintable(error));
        const QString log = other.folder() + QStringLiteral("/requests.log");
        QVERIFY(!blocked || QDir(other.folder()).mkdir(QStringLiteral("requests.log.1")));
        if (!other.start({QStringLiteral("--listen"), QStringLiteral("[::1]:0"),
                          QStringLiteral("--log-file"), log, QStringLiteral("--log-max-bytes"),
                          QString::number(kLogCap)},
                         &error)) {
            QVERIFY2(error.contains(QStringLiteral("address")), qPrintable(error));
            QSKIP("no IPv6 loopback here");
        }
        QVERIFY2(other.log().contains(QStringLiteral("ready on https://[::1]:")),
                 qPrintable(other.log()));
        QSslSocket socket;
        socket.setSslConfiguration(TrustingConfiguration(other.caPem()));
        socket.setPeerVerifyName(QStringLiteral("localhost"));
        socket.connectToHostEncrypted(QStringLiteral("::1"), other.port());
        QVERIFY(socket.waitForEncrypted(5000));
        // About 50 bytes a line: past the cap twice.
        socket.write(Get("/studio").repeated(2999) + Get("/studio", "Connection: close\r\n"));
        QVERIFY(socket.waitForDisconnected(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log + QStringLiteral(".1")).isFile() != blocked, 5000);
        if (blocked) {
            const auto lines = [&log] {
                QFile file(log);
                return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
            };
            QTRY_COMPARE_WITH_TIMEOUT(lines(), 3000, 5000);
            QCOMPARE(other.log().count(QStringLiteral("cannot move")), 1);
        } else {
            QVERIFY(QFileInfo(log).size() <= kLogCap);
            QVERIFY(QFileInfo(log + QStringLiteral(".1")).size() <= kLogCap);
        }
    }

    void refusesToStart_data() {
        QTest::addColumn<QStringList>("args"); // besides a loopback address, the key and a store
        QTest::addColumn<QByteArray>("keyPem");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QString error;
        const auto other = MakeTestCertificates(&error);
        QVERIFY2(other, qPrintable(error));
        QFile keyFile(service_.folder() + QStringLiteral("/server.key"));
        QVERIFY(keyFile.open(QIODevice::ReadOnly));
        const QSslKey key(keyFile.readAll(), QSsl::Ec);
        QTest::newRow("not loopback")
            << QStringList{"--listen", "0.0.0.0:0"} << key.toPem() << 1 << "loopback";
        QTest::newRow("another key")
            << QStringList() << other->untrustedKeyPem << 1 << "not belong";
        // Refused, rather than asking for the passphrase on the terminal and waiting there.
        QTest::newRow("encrypted key")
            << QStringList() << key.toPem("secret") << 1 << "no unencrypted";
        // Each file would hold a line or two.
        QTest::newRow("log cap under 64 KiB")
            << QStringList{"--log-max-bytes", "65535"} << key.toPem() << 2 << "at least 65536";
    }
    void refusesToStart() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, keyPem);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QFile keyFile(dir.filePath(QStringLiteral("x.key")));
        QVERIFY(keyFile.open(QIODevice::WriteOnly) && keyFile.write(keyPem) == keyPem.size());
        keyFile.close();
        QString output;
        QCOMPARE(RunServiceCommand(
                     QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                 QStringLiteral("--cert"),
                                 service_.folder() + QStringLiteral("/server.pem"),
                                 QStringLiteral("--key"), keyFile.fileName(),
                                 QStringLiteral("--db"), dir.filePath(QStringLiteral("x.db"))} +
                         args,
                     &output),
                 code);
        QVERIFY2(output.contains(message), qPrintable(output));
    }

    void stopsCleanlyOnTerm() {
        expectStillServing();
        // The service stops with handshakes under way: their ClientHello sent, the rest not.
        QSslSocket midHandshake[4];
        for (QSslSocket &socket : midHandshake) {
            socket.setSslConfiguration(TrustingConfiguration(service_.caPem()));
            socket.connectToHostEncrypted(QStringLiteral("localhost"), service_.port());
            QVERIFY(socket.waitForConnected(5000) && socket.flush());
        }
        QThread::msleep(300);
        // Exit code 0 also means the sanitizers, when built in, found nothing at exit.
        QCOMPARE(service_.stop(), 0);
        QVERIFY(!service_.isRunning());
        QVERIFY(!service_.log().contains(QStringLiteral("runtime error")));
    }
};

QTEST_GUILESS_MAIN(ServiceProcessTest)
#include "test_service_process.moc"
