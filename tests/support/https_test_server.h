#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace shoulu::testing {

// PEM texts of a throwaway certificate authority, a server certificate it signed and a second
// server certificate signed by another throwaway authority, so nobody trusts it. Both server
// certificates name localhost and 127.0.0.1.
struct TestCertificates {
    QByteArray caPem;
    QByteArray serverCertificatePem;
    QByteArray serverKeyPem;
    QByteArray untrustedCertificatePem;
    QByteArray untrustedKeyPem;
};

// Makes fresh certificates in a temporary folder with scripts/make-certificates (bash and the
// openssl command). Nothing on failure, with the reason in *error when given.
std::optional<TestCertificates> MakeTestCertificates(QString *error = nullptr);

using HeaderList = QList<std::pair<QByteArray, QByteArray>>;

// One request as it came off the wire.
struct RecordedRequest {
    int connection = 0; // which TCP connection carried it, counted from 1 in accept order
    QByteArray method;
    QByteArray target;  // path and query as sent
    HeaderList headers; // in order, names spelled as sent
    QByteArray body;

    QByteArray path() const; // target without its query
    // Value of the first header of that name (compared case-insensitively), or nothing.
    std::optional<QByteArray> header(QByteArrayView name) const;
    int headerCount(QByteArrayView name) const;
};

// What the server does with a request.
struct Answer {
    enum class Mode {
        Respond,      // status line, headers, body
        ResetMidBody, // headers announcing the whole body, half of it, then a TCP reset
        NeverAnswer,  // send nothing; hang up after delay if one is set, else keep waiting
        Close,        // close the connection without sending a byte
    };
    Mode mode = Mode::Respond;
    int status = 200;
    HeaderList headers; // Content-Length and Connection are added
    QByteArray body;
    std::chrono::milliseconds delay{0};         // before the first byte goes out
    int chunks = 1;                             // the body goes out in this many pieces,
    std::chrono::milliseconds chunkInterval{0}; // this far apart
    bool closeAfter = false;                    // "Connection: close" and close once sent

    // A plain answer with one Content-Type header.
    static Answer Text(int status, QByteArray body,
                       QByteArray contentType = "text/plain; charset=utf-8");
    static Answer Reset(QByteArray body);
    static Answer Never();
};

// An HTTPS/1.1 server on its own thread, so it keeps serving while the test's thread blocks.
// Answers come from a handler when one is set, else from the route of the request's path, else
// from the fallback (404 "not found"). Everything received is recorded. All members may be
// called from any thread; the handler runs on the server's thread.
class HttpsTestServer {
public:
    enum class Identity { Trusted, Untrusted };
    using Handler = std::function<Answer(const RecordedRequest &)>;

    explicit HttpsTestServer(const TestCertificates &certificates,
                             Identity identity = Identity::Trusted);
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer &) = delete;
    HttpsTestServer &operator=(const HttpsTestServer &) = delete;

    // Port 0 picks a free one.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    // "https://127.0.0.1:<port>" followed by pathAndQuery; host may be "localhost" instead.
    QString url(const QString &pathAndQuery,
                const QString &host = QStringLiteral("127.0.0.1")) const;

    void route(const QByteArray &path, const Answer &answer);
    void setFallback(const Answer &answer);
    void setHandler(Handler handler);

    QList<RecordedRequest> requests() const;
    void clearRequests();
    // Blocks until at least count requests are recorded; false on time-out.
    bool waitForRequests(qsizetype count, std::chrono::milliseconds timeout) const;
    int connectionCount() const; // TCP connections that completed the TLS handshake

private:
    struct Shared;
    class Worker;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<class QThread> thread_;
    Worker *worker_ = nullptr; // lives on thread_
};

} // namespace shoulu::testing
