#include "net/http_client.h"
#include "net/http_get.h"
#include "net/post_form.h"
#include "net/tls_trust.h"
#include "tests/support/https_test_server.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(shoulu::HttpFailure)
using shoulu::HttpFailure;
using shoulu::HttpGet;
using shoulu::HttpResult;
using shoulu::PostForm;
using shoulu::testing::Answer;
using shoulu::testing::HttpsTestServer;
using shoulu::testing::RecordedRequest;

namespace {

// Counts the key presses delivered to it.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool event(QEvent *event) override {
        if (event->type() == QEvent::KeyPress) {
            ++presses;
            return true;
        }
        return QObject::event(event);
    }
};

// Posts a key press as the platform would; safe from any thread. The event is made once on the
// main thread, as making one looks up the keyboard device, which belongs there.
void PostKeyPress(QObject *receiver) {
    static const QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::postEvent(receiver, press.clone());
}

QString Fetch(const QByteArray &method, const QString &url) {
    return method == "GET" ? HttpGet(url) : PostForm(url, QStringLiteral("sn=tandri"));
}

HttpResult FetchResult(const QByteArray &method, const QString &url) {
    return method == "GET" ? shoulu::FetchGet(url)
                           : shoulu::FetchPost(url, QStringLiteral("sn=tandri"));
}

// What the limits of a test are unless it says otherwise: a fault shows as a failure, not as a
// minute's hang.
shoulu::HttpLimits TestLimits() {
    shoulu::HttpLimits limits;
    limits.stall = 10s;
    limits.total = 30s;
    return limits;
}

// Headers the HTTP stack adds on its own; anything else came from the client code.
bool IsStackHeader(const QByteArray &name) {
    static const QList<QByteArray> stack = {
        "host", "connection", "accept-encoding", "accept-language", "user-agent", "content-length"};
    return stack.contains(name.toLower());
}

} // namespace

class TestHttpClients : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        KeyCounter keys;
        PostKeyPress(&keys);
        QCoreApplication::sendPostedEvents(&keys);
        QCOMPARE(keys.presses, 1);

        QString error;
        certificates_ = shoulu::testing::MakeTestCertificates(&error);
        QVERIFY2(certificates_.has_value(), qPrintable(error));
        client_ = std::make_unique<shoulu::HttpClient>(certificates_->caPem);
        shoulu::SetProgramClient(client_.get());
        server_ = std::make_unique<HttpsTestServer>(*certificates_);
        QVERIFY(server_->listen());
        untrusted_ =
            std::make_unique<HttpsTestServer>(*certificates_, HttpsTestServer::Identity::Untrusted);
        QVERIFY(untrusted_->listen());
        untrusted_->setFallback(Answer::Text(200, "should never be read"));
    }

    void init() {
        client_->setLimits(TestLimits());
        server_->setHandler({});
        server_->clearRequests();
    }

    void cleanupTestCase() {
        untrusted_.reset();
        server_.reset();
        client_.reset();
        QCOMPARE(shoulu::ProgramClient(), nullptr); // a client going away unsets itself
        QCOMPARE(HttpGet(QStringLiteral("https://127.0.0.1/")), QString()); // no client, no request
    }

    void extraCaJoinsTheSystemStore() {
        const QList<QSslCertificate> trusted = client_->tls().caCertificates();
        QVERIFY(trusted.contains(QSslCertificate(certificates_->caPem, QSsl::Pem)));
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        for (const QSslCertificate &certificate : system) {
            QVERIFY(trusted.contains(certificate));
        }
        // The process-wide default stays untouched.
        QVERIFY(!QSslConfiguration::defaultConfiguration().caCertificates().contains(
            QSslCertificate(certificates_->caPem, QSsl::Pem)));
        QCOMPARE(shoulu::TlsWithExtraCa("no certificate here").caCertificates(),
                 QSslConfiguration::defaultConfiguration().caCertificates());
    }

    void getSendsOnlyIfModifiedSince() {
        server_->route("/index.php/Index/web_collection", Answer::Text(200, "{\"a\":1}"));
        const QString url =
            server_->url("/index.php/Index/web_collection?url=example.com&token=0123ABCD");
        QCOMPARE(HttpGet(url), QStringLiteral("{\"a\":1}"));
        QCOMPARE(HttpGet(url), QStringLiteral("{\"a\":1}"));
        QCOMPARE(HttpGet(server_->url("/other")), QStringLiteral("not found"));

        const QList<RecordedRequest> requests = server_->requests();
        QCOMPARE(requests.size(), 3);
        for (const RecordedRequest &request : requests) {
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(request.headerCount("If-Modified-Since"), 1);
            QCOMPARE(request.header("If-Modified-Since"), QByteArray("0"));
            QVERIFY(request.body.isEmpty());
            QCOMPARE(request.header("Content-Length").value_or("0"), QByteArray("0"));
            for (const auto &[name, value] : request.headers) {
                QVERIFY2(IsStackHeader(name) || name.toLower() == "if-modified-since",
                         name.constData());
            }
        }
        QCOMPARE(requests[0].target,
                 QByteArray("/index.php/Index/web_collection?url=example.com&token=0123ABCD"));
        QCOMPARE(requests[1].target, requests[0].target);
        QCOMPARE(requests[2].target, QByteArray("/other"));
        // The client keeps its manager: the kept-alive connection serves the repeat.
        QCOMPARE(requests[1].connection, requests[0].connection);
    }

    void postSendsFormHeaderAndExactBody_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("product") << "sn=tandri" << QByteArray("sn=tandri");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("double-byte escaped, rest as is") << "a中b &=+%#?\r\n"
                                                         << QByteArray("a%D6%D0b &=+%#?\r\n");
    }
    void postSendsFormHeaderAndExactBody() {
        QFETCH(QString, data);
        QFETCH(QByteArray, body);
        server_->route("/index.php/Index/soft_version", Answer::Text(200, "{\"result\":0}"));
        const QString url = server_->url("/index.php/Index/soft_version");
        QCOMPARE(PostForm(url, data), QStringLiteral("{\"result\":0}"));
        QCOMPARE(PostForm(url, data), QStringLiteral("{\"result\":0}"));

        const QList<RecordedRequest> requests = server_->requests();
        QCOMPARE(requests.size(), 2);
        for (const RecordedRequest &request : requests) {
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(request.target, QByteArray("/index.php/Index/soft_version"));
            QCOMPARE(request.body, body);
            QCOMPARE(request.header("Content-Length"), QByteArray::number(body.size()));
            QCOMPARE(request.headerCount("Content-Type"), 1);
            QCOMPARE(request.header("CONTENT-TYPE"),
                     QByteArray("application/x-www-form-urlencoded"));
            for (const auto &[name, value] : request.headers) {
                QVERIFY2(IsStackHeader(name) || name.toLower() == "content-type", name.constData());
            }
        }
    }

    void bodiesComeBackWhateverTheStatus_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        for (const QByteArray method : {"GET", "POST"}) {
            QTest::addRow("%s 200", method.constData()) << method << 200 << QByteArray("{}");
            QTest::addRow("%s 404", method.constData())
                << method << 404 << QByteArray("<html><h1>404 Not Found</h1></html>");
            QTest::addRow("%s 500", method.constData())
                << method << 500 << QByteArray("<html>Internal Server Error</html>");
            QTest::addRow("%s 503", method.constData()) << method << 503 << QByteArray("busy");
            for (const int status : {400, 401, 403, 418, 429, 502, 302}) {
                QTest::addRow("%s %d", method.constData(), status)
                    << method << status << QByteArray("error page ") + QByteArray::number(status);
            }
            QTest::addRow("%s 200 empty", method.constData()) << method << 200 << QByteArray();
            QTest::addRow("%s 404 empty", method.constData()) << method << 404 << QByteArray();
        }
    }
    void bodiesComeBackWhateverTheStatus() {
        QFETCH(QByteArray, method);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        server_->route("/status", Answer::Text(status, body));
        QCOMPARE(Fetch(method, server_->url("/status")), QString::fromUtf8(body));
        QCOMPARE(server_->requests().size(), 1);
    }

    void redirectsAreFollowedOnlyWithATarget() {
        Answer moved = Answer::Text(302, "moved");
        moved.headers.append(std::pair<QByteArray, QByteArray>("Location", "/target"));
        server_->route("/moved", moved);
        server_->route("/target", Answer::Text(200, "arrived"));
        QCOMPARE(HttpGet(server_->url("/moved")), QStringLiteral("arrived"));
        QCOMPARE(PostForm(server_->url("/moved"), QStringLiteral("sn=tandri")),
                 QStringLiteral("arrived"));
        QCOMPARE(server_->requests().last().method, QByteArray("GET")); // as browsers do
    }

    void bodiesAreDecodedByCharset_data() {
        QTest::addColumn<QByteArray>("method");
        for (const QByteArray method : {"GET", "POST"}) {
            QTest::newRow(method.constData()) << method;
        }
    }
    void bodiesAreDecodedByCharset() {
        QFETCH(QByteArray, method);
        server_->route("/gbk",
                       Answer::Text(200, "{\"message\":\"\xB0\xE6\xB1\xBE\xB9\xFD\xB5\xCD\"}",
                                    "application/json; charset=GBK"));
        server_->route("/utf8", Answer::Text(200, "\xEF\xBB\xBF{\"message\":\"版本过低\"}",
                                             "application/json"));
        const QString expected = QStringLiteral("{\"message\":\"版本过低\"}");
        QCOMPARE(Fetch(method, server_->url("/gbk")), expected);
        QCOMPARE(Fetch(method, server_->url("/utf8")), expected);
    }

    void largeBodyArrivesWhole_data() { bodiesAreDecodedByCharset_data(); }
    void largeBodyArrivesWhole() {
        QFETCH(QByteArray, method);
        QByteArray body;
        body.reserve(10 * 1024 * 1024);
        for (int i = 0; body.size() < 10 * 1024 * 1024; ++i) {
            body += QByteArray::number(i).rightJustified(15, '0') + '\n';
        }
        body.truncate(10 * 1024 * 1024);
        server_->route("/big", Answer::Text(200, body));
        const QString text = Fetch(method, server_->url("/big"));
        QCOMPARE(text.size(), body.size());
        QVERIFY(text == QLatin1String(body)); // QCOMPARE would print 10 MB on failure
    }

    void transportFailuresGiveEmptyText_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("url");
        QTest::addColumn<HttpFailure>("failure");
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 refusedPort = closed.serverPort();
        closed.close();

        server_->route("/reset", Answer::Reset(QByteArray(256 * 1024, 'x')));
        Answer close;
        close.mode = Answer::Mode::Close;
        server_->route("/close", close);
        for (const QByteArray method : {"GET", "POST"}) {
            const char *m = method.constData();
            const HttpFailure connect = HttpFailure::ConnectFailed;
            const HttpFailure invalid = HttpFailure::InvalidUrl;
            QTest::addRow("%s refused", m)
                << method << QStringLiteral("https://127.0.0.1:%1/x").arg(refusedPort) << connect;
            QTest::addRow("%s reset half-way", m) << method << server_->url("/reset") << connect;
            QTest::addRow("%s closed unanswered", m) << method << server_->url("/close") << connect;
            QTest::addRow("%s untrusted certificate", m)
                << method << untrusted_->url("/x") << HttpFailure::TlsFailed;
            QTest::addRow("%s plain http to https", m)
                << method << server_->url("/x").replace("https:", "http:") << connect;
            QTest::addRow("%s no such host", m)
                << method << "https://no-such-host.invalid/x" << connect;
            QTest::addRow("%s ftp", m) << method << "ftp://127.0.0.1/x" << invalid;
            QTest::addRow("%s file", m) << method << "file:///etc/hostname" << invalid;
            QTest::addRow("%s data", m) << method << "data:text/plain,hello" << invalid;
            QTest::addRow("%s not a url", m) << method << "::not a url::" << invalid;
            QTest::addRow("%s empty", m) << method << "" << invalid;
        }
    }
    void transportFailuresGiveEmptyText() {
        QFETCH(QByteArray, method);
        QFETCH(QString, url);
        QFETCH(HttpFailure, failure);
        const HttpResult result = FetchResult(method, url);
        QCOMPARE(result.body, QString());
        QCOMPARE(result.failure, failure);
        QCOMPARE(Fetch(method, url), QString());
    }

    // Each limit ends a request that would otherwise hold the program: a trickle that never
    // stalls, an endless body, and a body the stack refuses to inflate.
    void limitsEndARequest_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<HttpFailure>("failure");
        Answer trickle = Answer::Text(200, QByteArray(40, 'x'));
        trickle.chunks = 40;
        trickle.chunkInterval = 100ms; // a byte every 0.1 s: 4 s in all, never stalled
        server_->route("/trickle", trickle);
        server_->route("/huge", Answer::Text(200, QByteArray(3 * 1024 * 1024, 'x')));
        QByteArray bomb = qCompress(QByteArray(64 * 1024 * 1024, '\0'), 9);
        bomb.remove(0, 4); // qCompress's length prefix; the rest is a zlib stream
        Answer deflated = Answer::Text(200, bomb, "application/json");
        deflated.headers.append(std::pair<QByteArray, QByteArray>("Content-Encoding", "deflate"));
        server_->route("/bomb", deflated);
        for (const QByteArray method : {"GET", "POST"}) {
            const char *m = method.constData();
            QTest::addRow("%s trickle", m)
                << method << QByteArray("/trickle") << HttpFailure::TimedOut;
            QTest::addRow("%s huge", m) << method << QByteArray("/huge") << HttpFailure::TooLarge;
            QTest::addRow("%s bomb", m) << method << QByteArray("/bomb") << HttpFailure::BadContent;
        }
    }
    void limitsEndARequest() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, path);
        QFETCH(HttpFailure, failure);
        shoulu::HttpLimits limits = TestLimits();
        limits.total = 1s;
        limits.maxBodyBytes = 2 * 1024 * 1024;
        client_->setLimits(limits);
        QElapsedTimer elapsed;
        elapsed.start();
        const HttpResult result = FetchResult(method, server_->url(QString::fromLatin1(path)));
        QVERIFY2(elapsed.elapsed() < 3000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(result.body, QString());
        // A bomb may trip the size cap before the stack's own check; either way no answer.
        if (failure != HttpFailure::BadContent || result.failure != HttpFailure::TooLarge) {
            QCOMPARE(result.failure, failure);
        }
    }

    void stallLimitEndsAnUnansweredRequest_data() { bodiesAreDecodedByCharset_data(); }
    void stallLimitEndsAnUnansweredRequest() {
        QFETCH(QByteArray, method);
        Answer never = Answer::Never();
        never.delay = 5s; // hangs up then, so a client without a limit fails instead of hanging
        server_->route("/never", never);
        shoulu::HttpLimits limits = TestLimits();
        limits.stall = 300ms;
        client_->setLimits(limits);
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(Fetch(method, server_->url("/never")), QString());
        QVERIFY2(elapsed.elapsed() >= 250, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(server_->requests().size(), 1); // it went out and was not answered
    }

    void stallLimitSparesASlowButSteadyAnswer() {
        Answer slow = Answer::Text(200, "0123456789abcdef0123456789abcdef");
        slow.chunks = 8;
        slow.chunkInterval = 150ms; // about 1 s in all, never 400 ms without a byte
        server_->route("/slow", slow);
        shoulu::HttpLimits limits = TestLimits();
        limits.stall = 400ms;
        client_->setLimits(limits);
        QCOMPARE(HttpGet(server_->url("/slow")),
                 QStringLiteral("0123456789abcdef0123456789abcdef"));
        QCOMPARE(PostForm(server_->url("/slow"), QString()),
                 QStringLiteral("0123456789abcdef0123456789abcdef"));
    }

    void getKeepsEventsFlowing() {
        KeyCounter keys;
        server_->setHandler([&keys](const RecordedRequest &) {
            PostKeyPress(&keys); // user input arriving while the request is out
            Answer answer = Answer::Text(200, "late");
            answer.delay = 300ms;
            return answer;
        });
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(10ms);
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start();
        QCOMPARE(HttpGet(server_->url("/late")), QStringLiteral("late"));
        QCOMPARE(keys.presses, 1);
        QVERIFY(ticks > 0);
    }

    void nestedGetsReturnInnerFirst() {
        Answer inner = Answer::Text(200, "inner body");
        inner.delay = 300ms; // the outer answer is in long before the inner one
        server_->route("/inner", inner);
        server_->route("/outer", Answer::Text(200, "outer body"));

        QStringList order;
        QString innerText;
        QTimer::singleShot(0, [&] {
            order << QStringLiteral("inner starts");
            innerText = HttpGet(server_->url("/inner"));
            order << QStringLiteral("inner returns");
        });
        const QString outerText = HttpGet(server_->url("/outer"));
        order << QStringLiteral("outer returns");

        QCOMPARE(order, QStringList({"inner starts", "inner returns", "outer returns"}));
        QCOMPARE(outerText, QStringLiteral("outer body"));
        QCOMPARE(innerText, QStringLiteral("inner body"));
        const QList<RecordedRequest> requests = server_->requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].path(), QByteArray("/outer"));
        QCOMPARE(requests[1].path(), QByteArray("/inner"));
    }

    void postHandlesNothingWhileWaiting() {
        KeyCounter keys;
        server_->setHandler([&keys](const RecordedRequest &request) {
            if (request.method == "POST") {
                PostKeyPress(&keys);
            }
            Answer answer = Answer::Text(200, request.method);
            answer.delay = 300ms;
            return answer;
        });
        bool timerFired = false;
        QTimer::singleShot(0, [&] {
            timerFired = true;
            HttpGet(server_->url("/second")); // a second request would start here
        });

        QCOMPARE(PostForm(server_->url("/first"), QStringLiteral("sn=tandri")),
                 QStringLiteral("POST"));
        QCOMPARE(keys.presses, 0);
        QVERIFY(!timerFired);
        QCOMPARE(server_->requests().size(), 1);

        // Both were live all along and run as soon as the thread is free.
        QTRY_VERIFY_WITH_TIMEOUT(timerFired, 5000);
        QCOMPARE(keys.presses, 1);
        QCOMPARE(server_->requests().size(), 2);
    }

private:
    std::optional<shoulu::testing::TestCertificates> certificates_;
    std::unique_ptr<HttpsTestServer> server_;
    std::unique_ptr<HttpsTestServer> untrusted_;
    std::unique_ptr<shoulu::HttpClient> client_;
};

QTEST_MAIN(TestHttpClients)
#include "test_http_clients.moc"
