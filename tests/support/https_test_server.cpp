#include "tests/support/https_test_server.h"

#include "service/http_response.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace shoulu::testing {

// ---- certificates -------------------------------------------------------------------------

namespace {

// Runs the project's one certificate recipe into folder.
bool MakeCertificatesIn(const QString &folder, QString *error) {
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"),
                 {QStringLiteral(SHOULU_SOURCE_DIR "/scripts/make-certificates"), folder});
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit ||
        script.exitCode() != 0) {
        if (error) {
            *error =
                QStringLiteral("make-certificates %1 failed: %2 %3")
                    .arg(folder, script.errorString(), QString::fromLocal8Bit(script.readAll()));
        }
        return false;
    }
    return true;
}

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

std::optional<TestCertificates> MakeTestCertificates(QString *error) {
    QTemporaryDir folder;
    if (!folder.isValid()) {
        if (error) {
            *error = folder.errorString();
        }
        return std::nullopt;
    }
    // The untrusted identity is the same recipe's server certificate under an authority of its
    // own, which nobody is told to trust.
    const QString trusted = folder.filePath(QStringLiteral("trusted"));
    const QString untrusted = folder.filePath(QStringLiteral("untrusted"));
    if (!MakeCertificatesIn(trusted, error) || !MakeCertificatesIn(untrusted, error)) {
        return std::nullopt;
    }
    TestCertificates made{
        ReadFile(trusted + QStringLiteral("/ca.pem")),
        ReadFile(trusted + QStringLiteral("/server.pem")),
        ReadFile(trusted + QStringLiteral("/server.key")),
        ReadFile(untrusted + QStringLiteral("/server.pem")),
        ReadFile(untrusted + QStringLiteral("/server.key")),
    };
    if (made.caPem.isEmpty() || made.serverCertificatePem.isEmpty() ||
        made.serverKeyPem.isEmpty() || made.untrustedCertificatePem.isEmpty() ||
        made.untrustedKeyPem.isEmpty()) {
        if (error) {
            *error = QStringLiteral("make-certificates left a file empty in %1").arg(folder.path());
        }
        return std::nullopt;
    }
    return made;
}

// ---- requests and answers -----------------------------------------------------------------

QByteArray RecordedRequest::path() const {
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

std::optional<QByteArray> RecordedRequest::header(QByteArrayView name) const {
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

int RecordedRequest::headerCount(QByteArrayView name) const {
    int count = 0;
    for (const auto &header : headers) {
        count += header.first.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    }
    return count;
}

Answer Answer::Text(int status, QByteArray body, QByteArray contentType) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.headers.append({"Content-Type", std::move(contentType)});
    return answer;
}

Answer Answer::Reset(QByteArray body) {
    Answer answer = Text(200, std::move(body));
    answer.mode = Mode::ResetMidBody;
    return answer;
}

Answer Answer::Never() {
    Answer answer;
    answer.mode = Mode::NeverAnswer;
    return answer;
}

// ---- server -------------------------------------------------------------------------------

struct HttpsTestServer::Shared {
    mutable QMutex mutex;
    mutable QWaitCondition recorded;
    QList<RecordedRequest> requests;
    QHash<QByteArray, Answer> routes;
    Answer fallback = Answer::Text(404, "not found");
    Handler handler;
    int connections = 0;
    quint16 port = 0;
};

namespace {

// A reset rather than an orderly close: the peer sees the connection broken.
void ResetConnection(QSslSocket *socket) {
#ifdef Q_OS_UNIX
    const linger hard{1, 0};
    setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
               sizeof hard);
#endif
    socket->abort();
}

} // namespace

// Owns the listening socket and the connections; lives on the server's thread.
class HttpsTestServer::Worker : public QObject {
public:
    Worker(std::shared_ptr<Shared> shared, QSslConfiguration tls)
        : shared_(std::move(shared))
        , tls_(std::move(tls)) {}

    bool listen(const QHostAddress &address, quint16 port) {
        server_ = new QSslServer(this);
        server_->setSslConfiguration(tls_);
        connect(server_, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpServer *server = server_) {
                auto *socket = qobject_cast<QSslSocket *>(server->nextPendingConnection());
                if (!socket) {
                    break;
                }
                adopt(socket);
            }
        });
        if (!server_->listen(address, port)) {
            return false;
        }
        QMutexLocker lock(&shared_->mutex);
        shared_->port = server_->serverPort();
        return true;
    }

private:
    struct Connection {
        int number = 0;
        QByteArray buffer;
        bool busy = false; // an answer is still going out
    };

    void adopt(QSslSocket *socket) {
        socket->setParent(this);
        int number = 0;
        {
            QMutexLocker lock(&shared_->mutex);
            number = ++shared_->connections;
        }
        auto connection = std::make_shared<Connection>();
        connection->number = number;
        connect(socket, &QSslSocket::readyRead, this,
                [this, socket, connection] { serve(socket, connection); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        serve(socket, connection);
    }

    // Takes complete requests off the buffer, one at a time, answering each in turn.
    void serve(QSslSocket *socket, const std::shared_ptr<Connection> &connection) {
        connection->buffer += socket->readAll();
        while (!connection->busy) {
            const qsizetype headEnd = connection->buffer.indexOf("\r\n\r\n");
            if (headEnd < 0) {
                return;
            }
            RecordedRequest request;
            request.connection = connection->number;
            const QList<QByteArray> lines = connection->buffer.left(headEnd).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.target = requestLine.value(1);
            qsizetype contentLength = 0;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0) {
                    continue;
                }
                const QByteArray name = line.left(colon);
                const QByteArray value = line.mid(colon + 1).trimmed();
                request.headers.append({name, value});
                if (name.compare("content-length", Qt::CaseInsensitive) == 0) {
                    contentLength = value.toLongLong();
                }
            }
            const qsizetype bodyStart = headEnd + 4;
            if (connection->buffer.size() - bodyStart < contentLength) {
                return;
            }
            request.body = connection->buffer.mid(bodyStart, contentLength);
            connection->buffer.remove(0, bodyStart + contentLength);
            answer(socket, connection, record(request));
        }
    }

    Answer record(const RecordedRequest &request) {
        Handler handler;
        Answer answer;
        {
            QMutexLocker lock(&shared_->mutex);
            shared_->requests.append(request);
            shared_->recorded.wakeAll();
            handler = shared_->handler;
            answer = shared_->routes.value(request.path(), shared_->fallback);
        }
        return handler ? handler(request) : answer;
    }

    void answer(QSslSocket *socket, const std::shared_ptr<Connection> &connection,
                const Answer &answer) {
        switch (answer.mode) {
        case Answer::Mode::NeverAnswer:
            connection->busy = true; // later requests on it are never read either
            if (answer.delay > std::chrono::milliseconds(0)) {
                QTimer::singleShot(answer.delay, socket, [socket] { socket->abort(); });
            }
            return;
        case Answer::Mode::Close:
            connection->busy = true;
            socket->abort();
            socket->deleteLater();
            return;
        case Answer::Mode::Respond:
        case Answer::Mode::ResetMidBody:
            break;
        }
        connection->busy = true;
        const QByteArray head =
            ResponseHead(answer.status, answer.headers, answer.body.size(),
                         answer.closeAfter ? ConnectionHeader::Close : ConnectionHeader::KeepAlive);

        // The head goes out with the first piece of the body, later pieces at intervals.
        QList<QByteArray> pieces;
        if (answer.mode == Answer::Mode::ResetMidBody) {
            pieces.append(head + answer.body.left(answer.body.size() / 2));
        } else {
            const qsizetype count = std::max(1, answer.chunks);
            const qsizetype size = std::max<qsizetype>((answer.body.size() + count - 1) / count, 1);
            pieces.append(head + answer.body.left(size));
            for (qsizetype at = size; at < answer.body.size(); at += size) {
                pieces.append(answer.body.mid(at, size));
            }
        }
        send(QPointer<QSslSocket>(socket), connection, answer, pieces, 0, answer.delay);
    }

    void send(const QPointer<QSslSocket> &socket, const std::shared_ptr<Connection> &connection,
              const Answer &answer, const QList<QByteArray> &pieces, qsizetype next,
              std::chrono::milliseconds wait) {
        QTimer::singleShot(wait, this, [=, this] {
            if (!socket) {
                return;
            }
            socket->write(pieces[next]);
            socket->flush();
            if (next + 1 < pieces.size()) {
                send(socket, connection, answer, pieces, next + 1, answer.chunkInterval);
            } else {
                finish(socket, connection, answer);
            }
        });
    }

    void finish(const QPointer<QSslSocket> &socket, const std::shared_ptr<Connection> &connection,
                const Answer &answer) {
        if (answer.mode == Answer::Mode::ResetMidBody) {
            // Let the half body reach the peer before the reset.
            QTimer::singleShot(std::chrono::milliseconds(100), this, [socket] {
                if (socket) {
                    ResetConnection(socket);
                    socket->deleteLater();
                }
            });
            return;
        }
        if (answer.closeAfter) {
            socket->disconnectFromHost();
            return;
        }
        connection->busy = false;
        serve(socket, connection);
    }

    std::shared_ptr<Shared> shared_;
    QSslConfiguration tls_;
    QPointer<QSslServer> server_;
};

HttpsTestServer::HttpsTestServer(const TestCertificates &certificates, Identity identity)
    : shared_(std::make_shared<Shared>())
    , thread_(std::make_unique<QThread>()) {
    const bool trusted = identity == Identity::Trusted;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(trusted ? certificates.serverCertificatePem
                                                    : certificates.untrustedCertificatePem,
                                            QSsl::Pem));
    tls.setPrivateKey(QSslKey(trusted ? certificates.serverKeyPem : certificates.untrustedKeyPem,
                              QSsl::Ec, QSsl::Pem));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients bring no certificate
    worker_ = new Worker(shared_, tls);
    worker_->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, worker_, &QObject::deleteLater);
    thread_->setObjectName(QStringLiteral("https test server"));
    thread_->start();
}

HttpsTestServer::~HttpsTestServer() {
    thread_->quit();
    thread_->wait();
}

bool HttpsTestServer::listen(const QHostAddress &address, quint16 port) {
    bool listening = false;
    QMetaObject::invokeMethod(
        worker_, [&] { listening = worker_->listen(address, port); }, Qt::BlockingQueuedConnection);
    return listening;
}

quint16 HttpsTestServer::port() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->port;
}

QString HttpsTestServer::url(const QString &pathAndQuery, const QString &host) const {
    return QStringLiteral("https://%1:%2%3").arg(host).arg(port()).arg(pathAndQuery);
}

void HttpsTestServer::route(const QByteArray &path, const Answer &answer) {
    QMutexLocker lock(&shared_->mutex);
    shared_->routes.insert(path, answer);
}

void HttpsTestServer::setFallback(const Answer &answer) {
    QMutexLocker lock(&shared_->mutex);
    shared_->fallback = answer;
}

void HttpsTestServer::setHandler(Handler handler) {
    QMutexLocker lock(&shared_->mutex);
    shared_->handler = std::move(handler);
}

QList<RecordedRequest> HttpsTestServer::requests() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->requests;
}

void HttpsTestServer::clearRequests() {
    QMutexLocker lock(&shared_->mutex);
    shared_->requests.clear();
}

bool HttpsTestServer::waitForRequests(qsizetype count, std::chrono::milliseconds timeout) const {
    QDeadlineTimer deadline(timeout);
    QMutexLocker lock(&shared_->mutex);
    while (shared_->requests.size() < count) {
        if (!shared_->recorded.wait(&shared_->mutex, deadline)) {
            return shared_->requests.size() >= count;
        }
    }
    return true;
}

int HttpsTestServer::connectionCount() const {
    QMutexLocker lock(&shared_->mutex);
    return shared_->connections;
}

} // namespace shoulu::testing
