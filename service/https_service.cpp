#include "service/https_service.h"

#include "service/http_request.h"
#include "service/platform.h"
#include "service/service_log.h"
#include "service/tls_session.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <list>
#include <optional>

namespace shoulu {

namespace {

using namespace std::chrono_literals;

// A connection that answered for the last time waits this long for the client's leftovers to
// stop, so closing does not reset the connection under the answer.
constexpr auto kLinger = 300ms;
constexpr auto kMaxLinger = 2s;
// Near the cap, each newcomer has the oldest stalled handshake closed; this share of the cap is
// left free for the newcomers that arrive before those closes are done.
constexpr int kHeadroomShare = 8;
// Requests a connection has answered before the others of its worker get their turn.
constexpr int kAnswersPerTurn = 16;
// Answers the kernel holds for one connection.
constexpr int kSendBufferBytes = 64 * 1024;
// A handshake younger than this is still likely to finish: one takes milliseconds.
constexpr auto kMinEvictableAge = 1s;
// Bytes a connection holds from its socket before Qt stops reading it, and takes at a time
// through TLS.
constexpr qint64 kReadBufferBytes = 32 * 1024;

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray PathOf(const QByteArray &target) {
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.first(mark);
}

} // namespace

class ServiceConnection;

using Clock = std::chrono::steady_clock;
struct Handshake {
    ServiceConnection *connection;
    Clock::time_point since;
};
constexpr Clock::rep kNoHandshake = std::numeric_limits<Clock::rep>::max();
using HandshakePlace = std::list<Handshake>::iterator;

// One worker thread's connections; lives in that thread, which it owns.
class ServiceWorker : public QObject {
public:
    ServiceWorker(const ConnectionLimits &limits, std::shared_ptr<TlsContext> tls,
                  std::atomic<int> *open)
        : limits_(limits)
        , tls_(std::move(tls))
        , open_(open) {
        moveToThread(&thread_);
        // Each worker holds hundreds or thousands of mostly idle sockets, which Qt's own
        // dispatcher would poll on every turn of the loop.
        if (QAbstractEventDispatcher *dispatcher = NewScalableEventDispatcher()) {
            thread_.setEventDispatcher(dispatcher);
        }
        thread_.start();
    }

    // In this worker's thread from here on.
    bool build(const HandlerFactory &handlers, QString *error) {
        handler_ = handlers(error);
        return bool(handler_);
    }
    void adopt(qintptr descriptor);
    // Ends every connection and the handler while the thread still runs, then the thread.
    void stop() {
        QMetaObject::invokeMethod(
            this,
            [this] {
                qDeleteAll(children());
                handler_ = {};
            },
            Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }

    Reply handle(const RawRequest &request) const { return handler_(request); }
    const ConnectionLimits &limits() const { return limits_; }
    const std::shared_ptr<TlsContext> &tls() const { return tls_; }
    void release() {
        --load;
        --*open_;
    }

    // A connection not through its TLS handshake yet may be closed to make room (oldest first).
    HandshakePlace enterHandshake(ServiceConnection *connection) {
        const auto place = handshaking_.insert(handshaking_.end(), {connection, Clock::now()});
        noteOldestHandshake();
        return place;
    }
    void leaveHandshake(HandshakePlace place) {
        handshaking_.erase(place);
        noteOldestHandshake();
    }
    void evictOldestHandshake();
    // Whether this worker has a handshake old enough to be closed for a newcomer; if so, the
    // caller has claimed it, and others will not count on it too.
    bool claimEvictable(Clock::time_point now) {
        Clock::rep since = oldestHandshake_;
        return now.time_since_epoch().count() - since >=
                   Clock::duration(kMinEvictableAge).count() &&
               oldestHandshake_.compare_exchange_strong(since, now.time_since_epoch().count());
    }

    // Connections handed to this worker and not yet gone; the listener adds to it as it hands
    // one over, before the worker has it.
    std::atomic<int> load{0};

private:
    ConnectionLimits limits_;
    std::shared_ptr<TlsContext> tls_;
    std::atomic<int> *open_;
    RequestHandler handler_;
    void noteOldestHandshake() {
        oldestHandshake_ = handshaking_.empty()
                               ? kNoHandshake
                               : handshaking_.front().since.time_since_epoch().count();
    }

    std::list<Handshake> handshaking_;
    // When the oldest of them began, for the listener's thread.
    std::atomic<Clock::rep> oldestHandshake_{kNoHandshake};
    QThread thread_;
};

// One client connection from the first TCP byte to the close; owns its socket.
class ServiceConnection : public QObject {
public:
    ServiceConnection(QTcpSocket *socket, ServiceWorker *worker)
        : QObject(worker)
        , worker_(worker)
        , limits_(worker->limits())
        , socket_(socket) {
        socket_->setParent(this);
        socket_->setReadBufferSize(kReadBufferBytes);
        deadline_.setSingleShot(true);
        linger_.setSingleShot(true);
        linger_.setInterval(kLinger);
        connect(&deadline_, &QTimer::timeout, this, &ServiceConnection::onDeadline);
        connect(&linger_, &QTimer::timeout, this, &ServiceConnection::finish);
        connect(socket_, &QTcpSocket::readyRead, this, &ServiceConnection::onReadyRead);
        connect(socket_, &QTcpSocket::bytesWritten, this, &ServiceConnection::onWritten);
        connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
            if (socket_->state() == QAbstractSocket::UnconnectedState) {
                deleteLater();
            }
        });
        deadline_.start(limits_.handshake);
        handshakePlace_ = worker_->enterHandshake(this);
    }
    ~ServiceConnection() override {
        leaveHandshake();
        worker_->release();
    }

    // Closed to make room for a newcomer.
    void evict() {
        leaveHandshake();
        socket_->abort();
        deleteLater();
    }

private:
    qint64 unsent() const { return socket_->bytesToWrite(); }

    void leaveHandshake() {
        if (handshakePlace_) {
            worker_->leaveHandshake(*handshakePlace_);
            handshakePlace_.reset();
        }
    }

    bool encrypted() const { return tls_ && tls_->established(); }

    void onEncrypted() {
        leaveHandshake();
        deadline_.start(limits_.idle);
    }

    void onReadyRead() {
        if (closing_) {
            // Leftovers after the last answer are dropped.
            socket_->skip(socket_->bytesAvailable());
            linger_.start();
            return;
        }
        while (!closing_ && !held() && socket_->bytesAvailable() > 0) {
            if (!tls_) {
                // TLS state waits for the client's first bytes: port checks and silent
                // connections cost next to nothing.
                tls_ = std::make_unique<TlsSession>(worker_->tls());
            }
            const bool wasEncrypted = encrypted();
            const bool fine = tls_->receive(socket_->read(kReadBufferBytes));
            sendOutgoing();
            if (!fine) {
                drop();
                return;
            }
            if (encrypted()) {
                if (!wasEncrypted) {
                    onEncrypted();
                }
                decryptAndProcess();
            }
        }
    }

    // Decrypts what TLS holds and answers it, until answers pile up unread; the rest waits.
    void decryptAndProcess() {
        while (!closing_ && !held()) {
            dropAnsweredInput();
            const qsizetype before = input_.size();
            const bool fine = tls_->readPlain(kReadBufferBytes, &input_);
            sendOutgoing();
            if (!fine) {
                drop();
                return;
            }
            if (input_.size() == before) {
                return;
            }
            process();
        }
    }

    // A client that broke TLS gets its alert, and nothing more.
    void drop() {
        closing_ = true;
        socket_->disconnectFromHost();
    }

    void sendOutgoing() {
        if (const QByteArray cipherText = tls_->takeOutgoing(); !cipherText.isEmpty()) {
            socket_->write(cipherText);
        }
    }

    void send(const QByteArray &plain) {
        tls_->write(plain);
        sendOutgoing();
    }

    // Answers the complete requests in the input, in order, until answers pile up unread or
    // this connection has had its turn.
    void process() {
        int answered = 0;
        while (!closing_ && !held() && (pos_ < input_.size() || reading_)) {
            if (!reading_) {
                reading_ = true;
                inBody_ = false;
                started_.start();
                deadline_.start(limits_.request);
            }
            const RequestReader::Step step = reader_.read(input_, &pos_);
            if (step == RequestReader::Step::NeedMore) {
                if (reader_.inBody() && !inBody_) {
                    inBody_ = true;
                    deadline_.start(limits_.request);
                    if (reader_.request().expectContinue) {
                        send("HTTP/1.1 100 Continue\r\n\r\n");
                    }
                }
                break;
            }
            reading_ = false;
            if (step == RequestReader::Step::Failed) {
                const HttpRequest &partial = reader_.request();
                LogRequest(partial.method.isEmpty() ? QByteArray("-") : partial.method,
                           partial.target.isEmpty() ? QByteArray("-") : PathOf(partial.target),
                           reader_.failStatus(), started_.nsecsElapsed());
                answer(reader_.failStatus(), ErrorBody(reader_.failMessage()), false);
            } else {
                respond(reader_.request());
            }
            reader_.reset();
            if (unsent() > kMaxUnsentBytes) {
                paused_ = true;
                deadline_.start(limits_.idle);
            } else if (++answered == kAnswersPerTurn) {
                yieldTurn();
            }
        }
        dropAnsweredInput();
        if (!closing_ && !held() && !reading_) {
            deadline_.start(limits_.idle);
        }
    }

    bool held() const { return paused_ || yielding_; }

    // Once every request read has been answered, the input starts afresh.
    void dropAnsweredInput() {
        if (pos_ == input_.size()) {
            input_.clear();
            pos_ = 0;
        }
    }

    // A client that pipelines requests would otherwise hold the thread for all of them, and
    // every other connection of this worker would wait.
    void yieldTurn() {
        yielding_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                yielding_ = false;
                proceed();
            },
            Qt::QueuedConnection);
    }

    // Takes up what was left waiting: requests already read, then TLS, then the socket.
    void proceed() {
        if (!closing_ && !held()) {
            process();
            decryptAndProcess();
            onReadyRead();
        }
    }

    void respond(const HttpRequest &request) {
        const Reply reply = worker_->handle({request.method, request.target, request.body});
        answer(reply.status, request.method == "HEAD" ? QByteArray() : reply.body,
               request.keepAlive, reply.contentType, request.http10);
        LogRequest(request.method, PathOf(request.target), reply.status, started_.nsecsElapsed());
    }

    void answer(int status, const QByteArray &body, bool keepAlive,
                const QByteArray &contentType = "application/json; charset=utf-8",
                bool http10 = false) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) +
                          "\r\nContent-Type: " + contentType +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        if (!keepAlive) {
            head += "Connection: close\r\n";
        } else if (http10) {
            head += "Connection: keep-alive\r\n";
        }
        send(head + "\r\n" + body);
        if (!keepAlive) {
            closeAfterAnswer();
        }
    }

    // No more requests: the answers go out, the client's leftovers are dropped, then it closes.
    void closeAfterAnswer() {
        closing_ = true;
        input_.clear();
        pos_ = 0;
        socket_->skip(socket_->bytesAvailable());
        deadline_.start(qMax<std::chrono::milliseconds>(limits_.idle, kMaxLinger));
        if (unsent() == 0) {
            linger_.start();
        }
    }

    void onWritten() {
        if (closing_) {
            if (unsent() == 0 && !linger_.isActive()) {
                linger_.start();
            }
            return;
        }
        if (paused_ && unsent() <= kMaxUnsentBytes) {
            paused_ = false;
            proceed();
        }
    }

    // Tells the client TLS is over, then closes once the answers are out.
    void finish() {
        if (tls_) {
            tls_->close();
            sendOutgoing();
        }
        socket_->disconnectFromHost();
    }

    void onDeadline() {
        if (encrypted() && reading_ && !closing_ && !paused_) {
            reading_ = false;
            reader_.reset();
            LogRequest("-", "-", 408, started_.nsecsElapsed());
            answer(408, ErrorBody(messages::kTimeout), false);
            return;
        }
        // A handshake, a silent client, unread answers or a close that never finished.
        socket_->abort();
        deleteLater();
    }

    ServiceWorker *worker_;
    const ConnectionLimits &limits_;
    QTcpSocket *socket_;
    std::unique_ptr<TlsSession> tls_;
    std::optional<HandshakePlace> handshakePlace_;
    QTimer deadline_;
    QTimer linger_;
    QElapsedTimer started_;
    RequestReader reader_;
    QByteArray input_;
    qsizetype pos_ = 0;
    bool reading_ = false;
    bool inBody_ = false;
    bool paused_ = false;
    bool yielding_ = false;
    bool closing_ = false;
};

void ServiceWorker::adopt(qintptr descriptor) {
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        release();
        return;
    }
    // The kernel would otherwise grow the buffer to megabytes for a client that does not read,
    // and answer thousands of its requests before the limit on unsent answers is reached.
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
    new ServiceConnection(socket, this);
}

void ServiceWorker::evictOldestHandshake() {
    if (!handshaking_.empty() && Clock::now() - handshaking_.front().since >= kMinEvictableAge) {
        handshaking_.front().connection->evict();
    }
}

HttpsService::HttpsService(HandlerFactory handlers, ConnectionLimits limits, QObject *parent)
    : QTcpServer(parent)
    , handlers_(std::move(handlers))
    , limits_(limits) {
    // Accepting can stop on an error such as running out of descriptors; it resumes shortly
    // rather than never, and without spinning.
    connect(this, &QTcpServer::acceptError, this, [this] {
        pauseAccepting();
        QTimer::singleShot(100ms, this, &QTcpServer::resumeAccepting);
    });
}

HttpsService::~HttpsService() {
    close();
    stopWorkers();
}

void HttpsService::stopWorkers() {
    for (const auto &worker : workers_) {
        worker->stop();
    }
    workers_.clear();
}

bool HttpsService::start(const QHostAddress &address, quint16 port,
                         const std::shared_ptr<TlsContext> &tls, QString *error) {
    if (!address.isLoopback()) {
        *error = QStringLiteral("refusing to listen on %1: only loopback addresses are served")
                     .arg(address.toString());
        return false;
    }
    // Two at least, so one busy worker leaves another free; more than four gain little here.
    const int count = std::clamp(QThread::idealThreadCount(), 2, 4);
    for (int i = 0; i < count; ++i) {
        auto *worker =
            workers_.emplace_back(std::make_unique<ServiceWorker>(limits_, tls, &open_)).get();
        bool built = false;
        QMetaObject::invokeMethod(
            worker, [&] { built = worker->build(handlers_, error); }, Qt::BlockingQueuedConnection);
        if (!built) {
            stopWorkers();
            return false;
        }
    }
    // Qt's default backlog of 50 overflows under a burst of connections, and a dropped SYN costs
    // a client a second or more before it tries again.
    setListenBacklogSize(1024);
    if (!listen(address, port)) {
        *error = errorString();
        stopWorkers();
        return false;
    }
    return true;
}

void HttpsService::incomingConnection(qintptr descriptor) {
    // Nearly full: a connection stalled in its handshake makes room, so a flood of silent or
    // stalled handshakes cannot lock the others out. At the cap the newcomer gets in only then,
    // so the cap is passed by at most one per worker, for the moment the close takes.
    bool evicting = false;
    if (open_ >= limits_.maxConnections - limits_.maxConnections / kHeadroomShare) {
        const Clock::time_point now = Clock::now();
        for (const auto &stalled : workers_) {
            if (stalled->claimEvictable(now)) {
                QMetaObject::invokeMethod(
                    stalled.get(), [worker = stalled.get()] { worker->evictOldestHandshake(); });
                evicting = true;
                break;
            }
        }
    }
    if (open_ >= limits_.maxConnections && !evicting) {
        QTcpSocket refused;
        if (refused.setSocketDescriptor(descriptor)) {
            refused.abort();
        }
        return;
    }
    ServiceWorker *worker =
        std::min_element(workers_.begin(), workers_.end(), [](const auto &a, const auto &b) {
            return a->load < b->load;
        })->get();
    ++open_;
    ++worker->load;
    QMetaObject::invokeMethod(worker, [worker, descriptor] { worker->adopt(descriptor); });
}

} // namespace shoulu
