// One domain query over HTTPS on loopback (token, request, parse, row, status) against a bare
// QNetworkAccessManager GET of the same URL, in the same process and run.
#include "bench/common/median.h"
#include "core/form1.h"
#include "net/http_client.h"
#include "net/http_get.h"
#include "net/protocol.h"
#include "tests/support/fake_window.h"
#include "tests/support/https_test_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace shoulu;
using namespace shoulu::testing;

using shoulu::bench::MedianMicroseconds;

namespace {

const QString kEntry = QStringLiteral("example.com");
const QByteArray kAnswer =
    R"({"code":0,"info":{"web":{"domain":"example.com"},"bd":{"site":"1234","domain":"56"},)"
    R"("so":{"site":"789","domain":"10"},"bing":{"site":"1112","domain":"13"}}})";

std::unique_ptr<HttpsTestServer> StartServer(const TestCertificates &certificates) {
    auto server = std::make_unique<HttpsTestServer>(certificates);
    if (!server->listen()) {
        return nullptr;
    }
    server->route("/index.php/Index/web_collection",
                  Answer::Text(200, kAnswer, "application/json; charset=utf-8"));
    return server;
}

// The bare client: a new request per call on one kept manager, waited for in its own loop.
QByteArray BareGet(QNetworkAccessManager &manager, const QString &url) {
    QNetworkRequest request{QUrl(url)};
    // The same trust as the program's client, so both check the same chain.
    request.setSslConfiguration(ProgramClient()->tls());
    request.setRawHeader("If-Modified-Since", "0");
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

// A Form1 whose query goes to baseUrl; remembers the URL it sent.
struct FullQuery {
    FakeWindow window;
    QString lastUrl;
    Form1 form;

    explicit FullQuery(const QString &baseUrl, GetFunction get = FetchGet)
        : form(
              window,
              [this, get](const QString &url) {
                  lastUrl = url;
                  return get(url);
              },
              baseUrl) {
        window.queue = {kEntry};
    }

    // True when the query produced its row.
    bool run() {
        window.rows.clear();
        form.cx();
        return window.rows.size() == 1;
    }
};

qint64 Nanoseconds(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed();
}

void Report(const char *what, const std::vector<qint64> &full, const std::vector<qint64> &bare) {
    const double fullUs = MedianMicroseconds(full);
    const double bareUs = MedianMicroseconds(bare);
    std::printf("%-14s full query %9.1f us   bare GET %9.1f us   ratio %.3f   (median of %zu)\n",
                what, fullUs, bareUs, fullUs / bareUs, full.size());
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    int firstRounds = 15;
    int laterRounds = 400;
    if (argc > 2) {
        firstRounds = std::max(1, QByteArray(argv[1]).toInt());
        laterRounds = std::max(1, QByteArray(argv[2]).toInt());
    }

    QString error;
    const std::optional<TestCertificates> certificates = MakeTestCertificates(&error);
    if (!certificates) {
        std::fprintf(stderr, "no test certificates: %s\n", qPrintable(error));
        return 1;
    }
    HttpClient client(certificates->caPem);
    SetProgramClient(&client);
    QNetworkAccessManager bareManager;

    // A first query opens a new TLS connection. Each round uses a fresh server on a new port,
    // so both clients connect afresh; the order alternates so neither always goes first.
    // Round 0 only warms up the process (TLS library, certificate store) and is not counted.
    std::vector<qint64> firstFull;
    std::vector<qint64> firstBare;
    std::unique_ptr<HttpsTestServer> server;
    std::unique_ptr<FullQuery> full;
    for (int round = 0; round <= firstRounds; ++round) {
        full.reset();
        server = StartServer(*certificates);
        if (!server) {
            std::fprintf(stderr, "the test server could not listen\n");
            return 1;
        }
        full = std::make_unique<FullQuery>(server->url(QString()));
        bool answered = false;
        const auto runFull = [&] { answered = full->run(); };
        qint64 fullNs = 0;
        qint64 bareNs = 0;
        QByteArray body;
        const QString url = QueryUrl(server->url(QString()), kEntry);
        const auto runBare = [&] { body = BareGet(bareManager, url); };
        if (round % 2 == 0) {
            fullNs = Nanoseconds(runFull);
            bareNs = Nanoseconds(runBare);
        } else {
            bareNs = Nanoseconds(runBare);
            fullNs = Nanoseconds(runFull);
        }
        if (full->lastUrl != url) {
            std::fprintf(stderr, "the clients asked for different URLs\n");
            return 1;
        }
        if (!answered || body != kAnswer) {
            std::fprintf(stderr, "a request was not answered\n");
            return 1;
        }
        if (round > 0) {
            firstFull.push_back(fullNs);
            firstBare.push_back(bareNs);
        }
    }

    // Later queries reuse the kept-alive connection of each client.
    std::vector<qint64> laterFull;
    std::vector<qint64> laterBare;
    const QString url = full->lastUrl;
    for (int i = 0; i < laterRounds; ++i) {
        bool answered = false;
        QByteArray body;
        const auto fullRun = [&] {
            laterFull.push_back(Nanoseconds([&] { answered = full->run(); }));
        };
        const auto bareRun = [&] {
            laterBare.push_back(Nanoseconds([&] { body = BareGet(bareManager, url); }));
        };
        if (i % 2 == 0) {
            fullRun();
            bareRun();
        } else {
            bareRun();
            fullRun();
        }
        if (!answered || body != kAnswer) {
            std::fprintf(stderr, "a request was not answered\n");
            return 1;
        }
    }

    std::printf("one query over HTTPS on loopback, full query / bare QNetworkAccessManager GET "
                "(target <= 1.2)\n");
    Report("first query", firstFull, firstBare);
    Report("later queries", laterFull, laterBare);
    // The query's own work alone: the same steps with an answer handed over at once.
    FullQuery offline(QStringLiteral("https://127.0.0.1:1"),
                      [](const QString &) { return HttpResult{QString::fromUtf8(kAnswer)}; });
    std::vector<qint64> offlineRuns;
    for (int i = 0; i < laterRounds; ++i) {
        offlineRuns.push_back(Nanoseconds([&] { offline.run(); }));
    }
    std::printf("%-14s query without network %.1f us (median of %zu)\n", "own work",
                MedianMicroseconds(offlineRuns), offlineRuns.size());
    std::printf("connections opened by the server of the later queries: %d\n",
                server->connectionCount());
    full.reset();
    server.reset();
    return 0;
}
