#include "service/http_request.h"
#include "service/limits.h"

#include <QtTest>

using namespace shoulu;

namespace {

const QByteArrayList kOwn = {"localhost:18443", "127.0.0.1:18443"};

// What the reader made of a request, in one line: method, path, query, body size, and how the
// connection goes on.
QByteArray Summary(const HttpRequest &request) {
    QByteArray text = request.method + ' ' + request.path;
    if (!request.query.isEmpty()) {
        text += " ?" + request.query;
    }
    if (!request.body.isEmpty()) {
        text += " body:" + QByteArray::number(request.body.size());
    }
    return text + (request.keepAlive ? "" : " close");
}

struct Outcome {
    int status = -1; // 0: a complete request; -1: it needs more; else the refusal
    QByteArray summary;
    QByteArray rest; // what follows a complete request
};

// Feeds pieces of `size` bytes as a connection does, dropping what was read, until the reader
// has a request or a refusal.
Outcome Read(const QByteArray &bytes, qsizetype size) {
    RequestReader reader(kOwn);
    QByteArray input;
    for (qsizetype fed = 0; fed < bytes.size();) {
        input += bytes.sliced(fed, qMin(size, bytes.size() - fed));
        fed += qMin(size, bytes.size() - fed);
        qsizetype pos = 0;
        const RequestReader::Step step = reader.read(input, &pos);
        input.remove(0, pos);
        if (step == RequestReader::Step::Failed) {
            return {reader.failStatus(), {}, {}};
        }
        if (step == RequestReader::Step::Complete) {
            return {0, Summary(reader.request()), input + bytes.sliced(fed)};
        }
    }
    return {};
}

QByteArray Post(const QByteArray &headers, const QByteArray &body = {}) {
    return "POST /v HTTP/1.1\r\n" + headers + "\r\n" + body;
}

QByteArray Chunked(qsizetype size) {
    return Post("Transfer-Encoding: chunked\r\n",
                QByteArray::number(size, 16) + "\r\n" + QByteArray(size, 'a') + "\r\n0\r\n\r\n");
}

// A request whose head, every line with its end and the empty line, is exactly size bytes.
QByteArray HeadOf(qsizetype size, const QByteArray &start = "GET /a HTTP/1.1\r\n") {
    const QByteArray frame = start + "X-Pad: \r\n\r\n";
    return start + "X-Pad: " + QByteArray(size - frame.size(), 'a') + "\r\n\r\n";
}

QByteArray LinesOf(int lines) {
    return "GET /a HTTP/1.1\r\n" + QByteArray("X: 1\r\n").repeated(lines - 2) + "\r\n";
}

// A request line of exactly size bytes, its end left out.
QByteArray RequestLineOf(qsizetype size) {
    return "GET /" + QByteArray(size - 14, 'a') + " HTTP/1.1\r\n\r\n";
}

} // namespace

class HttpRequestTest : public QObject {
    Q_OBJECT

private slots:
    void readsOneRequestWholeOrByteByByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("summary");
        QTest::addColumn<QByteArray>("rest");
        const QByteArray ok;
        QTest::newRow("query") << QByteArray("GET /q?url=a.com&token=T HTTP/1.1\r\nHost: x\r\n\r\n")
                               << 0 << QByteArray("GET /q ?url=a.com&token=T") << ok;
        QTest::newRow("bare LF") << QByteArray("GET /a HTTP/1.1\nHost: x\n\n") << 0
                                 << QByteArray("GET /a") << ok;
        QTest::newRow("the next request stays") << QByteArray("GET /a HTTP/1.1\r\n\r\nGET /b") << 0
                                                << QByteArray("GET /a") << QByteArray("GET /b");
        QTest::newRow("head still coming")
            << QByteArray("GET /a HTTP/1.1\r\nHost: x\r\n") << -1 << ok << ok;
        QTest::newRow("HTTP/1.0") << QByteArray("GET /a HTTP/1.0\r\n\r\n") << 0
                                  << QByteArray("GET /a close") << ok;
        QTest::newRow("HTTP/1.0 keep-alive")
            << QByteArray("GET /a HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n") << 0
            << QByteArray("GET /a") << ok;
        QTest::newRow("close") << QByteArray("GET /a HTTP/1.1\r\nConnection: x, close\r\n\r\n") << 0
                               << QByteArray("GET /a close") << ok;
        QTest::newRow("body") << Post("Content-Length: 9\r\n", "sn=tandri") << 0
                              << QByteArray("POST /v body:9") << ok;
        QTest::newRow("body still coming")
            << Post("Content-Length: 9\r\n", "sn=") << -1 << ok << ok;
        QTest::newRow("chunks and a trailer")
            << Post("Transfer-Encoding: chunked\r\n",
                    "3;x=1\r\nsn=\r\n6\r\ntandri\r\n0\r\nT: 1\r\n\r\n")
            << 0 << QByteArray("POST /v body:9") << ok;
        QTest::newRow("both framings")
            << Post("Content-Length: 3\r\nTransfer-Encoding: chunked\r\n", "0\r\n\r\n") << 400 << ok
            << ok;
        QTest::newRow("two lengths")
            << Post("Content-Length: 3\r\nContent-Length: 4\r\n", "sn=t") << 400 << ok << ok;
        QTest::newRow("signed length") << Post("Content-Length: +3\r\n", "sn=") << 400 << ok << ok;
        QTest::newRow("gzip") << Post("Transfer-Encoding: gzip\r\n") << 501 << ok << ok;
        QTest::newRow("folded header")
            << QByteArray("GET /a HTTP/1.1\r\nX: a\r\n b\r\n\r\n") << 400 << ok << ok;
        QTest::newRow("unknown method")
            << QByteArray("BREW /a HTTP/1.1\r\n\r\n") << 400 << ok << ok;
        QTest::newRow("HTTP/2 preface")
            << QByteArray("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n") << 400 << ok << ok;

        // An absolute form is taken as this service's own address, nothing else.
        QTest::newRow("https, own authority")
            << QByteArray("GET https://localhost:18443/studio?x HTTP/1.1\r\n\r\n") << 0
            << QByteArray("GET /studio ?x") << ok;
        QTest::newRow("HTTPS, own address")
            << QByteArray("GET HTTPS://LocalHost:18443/studio HTTP/1.1\r\n\r\n") << 0
            << QByteArray("GET /studio") << ok;
        for (const char *target :
             {"https://x?/q?url=a.com", "https://localhost:18443@x/q", "https://localhost/q",
              "http://localhost:18443/q", "gopher://localhost:18443/q", "://localhost:18443/q",
              "localhost:18443/q", "*"}) {
            QTest::newRow(target) << "GET " + QByteArray(target) + " HTTP/1.1\r\n\r\n"
                                  << 400 << ok << ok;
        }

        // Each limit at exactly its value, and one past it.
        QTest::newRow("request line of 8 KiB")
            << RequestLineOf(kMaxRequestLine) << 0
            << "GET /" + QByteArray(kMaxRequestLine - 14, 'a') << ok;
        QTest::newRow("request line past 8 KiB")
            << RequestLineOf(kMaxRequestLine + 1) << 414 << ok << ok;
        QTest::newRow("head of 16 KiB") << HeadOf(kMaxHeadBytes) << 0 << QByteArray("GET /a") << ok;
        QTest::newRow("head past 16 KiB") << HeadOf(kMaxHeadBytes + 1) << 431 << ok << ok;
        QTest::newRow("head of 16 KiB, then chunks")
            << HeadOf(kMaxHeadBytes, "POST /v HTTP/1.1\r\nTransfer-Encoding: chunked\r\n") +
                   "1\r\na\r\n0\r\n\r\n"
            << 0 << QByteArray("POST /v body:1") << ok;
        QTest::newRow("head of 16 KiB, then a trailer")
            << HeadOf(kMaxHeadBytes, "POST /v HTTP/1.1\r\nTransfer-Encoding: chunked\r\n") +
                   "1\r\na\r\n0\r\nT: 1\r\n\r\n"
            << 431 << ok << ok;
        QTest::newRow("head of 100 lines")
            << LinesOf(kMaxHeadLines) << 0 << QByteArray("GET /a") << ok;
        QTest::newRow("head of 101 lines") << LinesOf(kMaxHeadLines + 1) << 431 << ok << ok;
        QTest::newRow("body of 64 KiB")
            << Post("Content-Length: 65536\r\n", QByteArray(kMaxBodyBytes, 'a')) << 0
            << QByteArray("POST /v body:65536") << ok;
        QTest::newRow("body past 64 KiB")
            << Post("Content-Length: 65537\r\n", QByteArray(kMaxBodyBytes + 1, 'a')) << 413 << ok
            << ok;
        QTest::newRow("chunks of 64 KiB")
            << Chunked(kMaxBodyBytes) << 0 << QByteArray("POST /v body:65536") << ok;
        QTest::newRow("chunks past 64 KiB") << Chunked(kMaxBodyBytes + 1) << 413 << ok << ok;
        QTest::newRow("chunk size line of 1 KiB")
            << Post("Transfer-Encoding: chunked\r\n",
                    "1;" + QByteArray(kMaxChunkSizeLine - 2, 'x') + "\r\na\r\n0\r\n\r\n")
            << 0 << QByteArray("POST /v body:1") << ok;
        QTest::newRow("chunk size line past 1 KiB")
            << Post("Transfer-Encoding: chunked\r\n",
                    "1;" + QByteArray(kMaxChunkSizeLine - 1, 'x') + "\r\na\r\n0\r\n\r\n")
            << 400 << ok << ok;
    }
    void readsOneRequestWholeOrByteByByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(QByteArray, summary);
        QFETCH(QByteArray, rest);
        for (const qsizetype piece : {bytes.size(), qsizetype(1)}) {
            const Outcome outcome = Read(bytes, piece);
            QCOMPARE(outcome.status, status);
            QCOMPARE(outcome.summary, summary);
            QCOMPARE(outcome.rest, rest);
        }
    }
};

QTEST_GUILESS_MAIN(HttpRequestTest)
#include "test_http_request.moc"
