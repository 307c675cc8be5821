#include "service/https_service.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

#include <cstdio>
#include <tuple>
#include <utility>

namespace shoulu {

namespace {

// Room for the request line and headers on top of the largest body.
constexpr qint64 kMaxRequestBytes = kMaxBodyBytes + 16 * 1024;
constexpr qsizetype kMaxRequestLine = 8 * 1024;

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    default:
        return "Error";
    }
}

QByteArray PathOf(const QByteArray &target) {
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.first(mark);
}

// Per-connection state; a child of its socket, so it goes when the socket goes.
class ConnectionWatch : public QObject {
    Q_OBJECT

public:
    ConnectionWatch(QSslSocket *socket, int idleTimeoutMs)
        : QObject(socket)
        , socket_(socket) {
        idle_.setSingleShot(true);
        idle_.setInterval(idleTimeoutMs);
        connect(&idle_, &QTimer::timeout, this, &ConnectionWatch::closeIdle);
        // Connected before Qt's own reader, so this sees each chunk first.
        connect(socket, &QSslSocket::readyRead, this, &ConnectionWatch::onReadyRead);
        idle_.start();
    }

    // The raw method and target of the request Qt has just parsed, or empty when they were
    // not seen (pipelined requests arrive in one chunk; only the first line is kept).
    std::pair<QByteArray, QByteArray> takeRequestLine() {
        auto seen = std::make_pair(method_, target_);
        method_.clear();
        target_.clear();
        line_.clear();
        lineDone_ = false;
        return seen;
    }

    qint64 finishRequest() {
        const qint64 elapsed = inRequest_ ? started_.nsecsElapsed() : 0;
        inRequest_ = false;
        received_ = 0;
        idle_.start();
        return elapsed;
    }

private:
    void onReadyRead() {
        idle_.start();
        if (rejected_) {
            socket_->readAll();
            return;
        }
        const qint64 available = socket_->bytesAvailable();
        if (!inRequest_) {
            inRequest_ = true;
            started_.start();
        }
        received_ += available;
        if (received_ > kMaxRequestBytes) {
            reject(413, messages::kBodyTooLarge);
            return;
        }
        if (lineDone_) {
            return;
        }
        const QByteArray chunk =
            socket_->peek(qMin<qint64>(available, kMaxRequestLine + 2 - line_.size()));
        const qsizetype end = chunk.indexOf('\n');
        line_.append(end < 0 ? chunk : chunk.first(end));
        if (end < 0) {
            if (line_.size() > kMaxRequestLine) {
                reject(414, messages::kBadRequest);
            }
            return;
        }
        lineDone_ = true;
        if (line_.endsWith('\r')) {
            line_.chop(1);
        }
        const QList<QByteArray> parts = line_.split(' ');
        static const QList<QByteArray> known = {"GET",    "POST",    "HEAD", "PUT",
                                                "DELETE", "OPTIONS", "PATCH"};
        if (parts.size() != 3 || !known.contains(parts[0]) || parts[1].isEmpty() ||
            !parts[2].startsWith("HTTP/1.")) {
            reject(400, messages::kBadRequest);
            return;
        }
        method_ = parts[0];
        target_ = parts[1];
    }

    // Answers at once and closes: Qt's parser never sees the rest of this request.
    void reject(int status, const QString &message) {
        rejected_ = true;
        const QByteArray body = ErrorBody(message);
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) +
                          "\r\nContent-Type: application/json; charset=utf-8"
                          "\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        socket_->write(head + body);
        socket_->readAll();
        LogRequest(method_.isEmpty() ? QByteArray("-") : method_,
                   target_.isEmpty() ? QByteArray("-") : PathOf(target_), status,
                   inRequest_ ? started_.nsecsElapsed() : 0);
        socket_->disconnectFromHost();
    }

    void closeIdle() {
        // Before the handshake completes the socket still belongs to the listener, which
        // does not reap it on its own.
        const bool encrypted = socket_->isEncrypted();
        socket_->abort();
        if (!encrypted) {
            socket_->deleteLater();
        }
    }

    QSslSocket *socket_;
    QTimer idle_;
    QElapsedTimer started_;
    bool inRequest_ = false;
    bool rejected_ = false;
    bool lineDone_ = false;
    qint64 received_ = 0;
    QByteArray line_;
    QByteArray method_;
    QByteArray target_;
};

} // namespace

void LogRequest(const QByteArray &method, const QByteArray &path, int status, qint64 nanoseconds) {
    const QByteArray time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8();
    std::fprintf(stderr, "%s %s %s %d %.3fms\n", time.constData(), method.constData(),
                 path.constData(), status, static_cast<double>(nanoseconds) / 1e6);
}

HttpsService::HttpsService(ServiceLogic *logic, int idleTimeoutMs, QObject *parent)
    : QAbstractHttpServer(parent)
    , logic_(logic)
    , idleTimeoutMs_(idleTimeoutMs) {}

bool HttpsService::start(const QHostAddress &address, quint16 port, const QSslConfiguration &tls,
                         QString *error) {
    if (!address.isLoopback()) {
        *error = QStringLiteral("refusing to listen on %1: only loopback addresses are served")
                     .arg(address.toString());
        return false;
    }
    auto *listener = new QSslServer(this);
    listener->setSslConfiguration(tls);
    connect(listener, &QSslServer::startedEncryptionHandshake, this,
            [this](QSslSocket *socket) { watch(socket); });
    if (!listener->listen(address, port)) {
        *error = listener->errorString();
        delete listener;
        return false;
    }
    bind(listener);
    listener_ = listener;
    port_ = listener->serverPort();
    return true;
}

void HttpsService::watch(QSslSocket *socket) {
    new ConnectionWatch(socket, idleTimeoutMs_);
}

bool HttpsService::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) {
    auto *watch = socket->findChild<ConnectionWatch *>(QString(), Qt::FindDirectChildrenOnly);
    RawRequest raw;
    if (watch) {
        std::tie(raw.method, raw.target) = watch->takeRequestLine();
    }
    if (raw.target.isEmpty()) {
        // Not seen on the wire: fall back to Qt's (repaired) URL.
        raw.target = request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
        raw.method = QByteArray(QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(
                                    static_cast<int>(request.method())))
                         .toUpper();
    }
    raw.body = request.body();

    const Reply reply = logic_->handle(raw);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write(reply.body, {{"Content-Type", reply.contentType}},
                    static_cast<QHttpServerResponder::StatusCode>(reply.status));
    const qint64 elapsed = watch ? watch->finishRequest() : 0;
    LogRequest(raw.method, PathOf(raw.target), reply.status, elapsed);
    return true;
}

void HttpsService::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) {
    // handleRequest answers everything; this only satisfies the interface.
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write(ErrorBody(messages::kNotFound), {{"Content-Type", "application/json"}},
                    QHttpServerResponder::StatusCode::NotFound);
}

} // namespace shoulu

#include "https_service.moc"
