#include "service/connection.h"

#include "service/http_response.h"
#include "service/limits.h"
#include "service/service_log.h"
#include "service/tls_session.h"
#include "service/worker.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace shoulu {

namespace {

using namespace std::chrono_literals;

// A connection that answered for the last time waits this long for the client's leftovers to
// stop, so closing does not reset the connection under the answer; but no longer than
// kMaxLinger in all, whatever the client still sends.
constexpr auto kLinger = 300ms;
constexpr auto kMaxLinger = 2s;

// How a client may name this service in an absolute-form target: as localhost or by the
// address it reached, with the port (which https may leave out when it is 443).
QByteArrayList OwnAuthorities(const QTcpSocket &socket) {
    const QHostAddress address = socket.localAddress();
    const QByteArray host = address.protocol() == QAbstractSocket::IPv6Protocol
                                ? '[' + address.toString().toLatin1() + ']'
                                : address.toString().toLatin1();
    const QByteArray port = ':' + QByteArray::number(socket.localPort());
    QByteArrayList own = {"localhost" + port, host + port};
    if (socket.localPort() == 443) {
        own += {"localhost", host};
    }
    return own;
}

QByteArray OrDash(const QByteArray &text) {
    return text.isEmpty() ? QByteArray("-") : text;
}

} // namespace

ServiceConnection::ServiceConnection(QTcpSocket *socket, ServiceWorker *worker)
    : QObject(worker)
    , worker_(worker)
    , load_(worker->load())
    , socket_(socket)
    , reader_(OwnAuthorities(*socket)) {
    socket_->setParent(this);
    socket_->setReadBufferSize(kReadBufferBytes);
    deadline_.setSingleShot(true);
    linger_.setSingleShot(true);
    linger_.setInterval(kLinger);
    connect(&deadline_, &QTimer::timeout, this, &ServiceConnection::onDeadline);
    connect(&linger_, &QTimer::timeout, this, &ServiceConnection::finish);
    connect(socket_, &QTcpSocket::readyRead, this, &ServiceConnection::onReadyRead);
    connect(socket_, &QTcpSocket::bytesWritten, this, &ServiceConnection::onWritten);
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        enter(State::Gone);
        deleteLater();
    });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_->state() == QAbstractSocket::UnconnectedState) {
            enter(State::Gone);
            deleteLater();
        }
    });
    enter(State::Handshake);
}

ServiceConnection::~ServiceConnection() {
    load_.unsent -= counted_;
    if (queued_) {
        worker_->evictionQueue().remove(*queued_);
    }
    worker_->release();
}

void ServiceConnection::evict() {
    queued_.reset();
    // An answer still on its way out is let go first, but by a connection that was closing
    // already: it has had its time.
    if (state_ != State::Closing && unsent() > 0) {
        enter(State::Closing);
        finish();
        return;
    }
    abortNow();
}

void ServiceConnection::takeTurn() {
    if (state_ == State::Yielding) {
        proceed();
    }
}

void ServiceConnection::abortNow() {
    socket_->abort();
    enter(State::Gone);
    deleteLater();
}

// Each state has its deadline, and its place in the eviction queue or none.
void ServiceConnection::enter(State next) {
    state_ = next;
    EvictionQueue &queue = worker_->evictionQueue();
    if (queued_) {
        queue.remove(*queued_);
        queued_.reset();
    }
    switch (next) {
    case State::Handshake:
        queued_ = queue.add(this, EvictionQueue::Kind::Handshake);
        deadline_.start(load_.limits.handshake);
        break;
    case State::Idle:
        queued_ = queue.add(this, EvictionQueue::Kind::Waiting);
        deadline_.start(load_.limits.idle);
        break;
    case State::Held:
        deadline_.start(load_.limits.idle);
        break;
    case State::Head:
        queued_ = queue.add(this, EvictionQueue::Kind::Waiting);
        started_.start();
        deadline_.start(requestTime());
        break;
    case State::Body:
        queued_ = queue.add(this, EvictionQueue::Kind::Waiting);
        deadline_.start(requestTime());
        break;
    case State::Yielding:
        break;
    case State::Closing:
        // Its last answers have as long to go out as any unread answers; then it lingers.
        queued_ = queue.add(this, EvictionQueue::Kind::Waiting);
        deadline_.start(load_.limits.idle);
        break;
    case State::Gone:
        deadline_.stop();
        linger_.stop();
        break;
    }
}

bool ServiceConnection::reading() const {
    return state_ == State::Handshake || state_ == State::Idle || state_ == State::Head ||
           state_ == State::Body;
}

qint64 ServiceConnection::unsent() const {
    return socket_->bytesToWrite();
}

// Keeps the service's count of unsent answers in step with this connection's.
void ServiceConnection::countUnsent() {
    const qint64 now = unsent();
    load_.unsent += now - counted_;
    counted_ = now;
}

// Near the cap, a client slow with its request makes way sooner.
std::chrono::milliseconds ServiceConnection::requestTime() const {
    return load_.nearFull() ? qMin(load_.limits.request, kNearFullRequestTime)
                            : load_.limits.request;
}

void ServiceConnection::onReadyRead() {
    if (state_ == State::Closing) {
        // Leftovers after the last answer are dropped.
        socket_->skip(socket_->bytesAvailable());
        linger_.start();
        return;
    }
    if (reading()) {
        // A client that pipelines is answered in its turns only: its bytes cost next to nothing
        // here, however many such clients are ready at once.
        answersLeft_ = pipelining_ ? 0 : kAnswersPerEvent;
        readSocket();
    }
}

void ServiceConnection::readSocket() {
    while (reading() && socket_->bytesAvailable() > 0) {
        if (!tls_) {
            // TLS state waits for the client's first bytes: port checks and silent connections
            // cost next to nothing.
            tls_ = std::make_unique<TlsSession>(worker_->tls());
        }
        const bool fine = tls_->receive(socket_->read(kReadBufferBytes));
        sendOutgoing();
        if (!fine) {
            drop();
            return;
        }
        if (state_ == State::Handshake && tls_->established()) {
            enter(State::Idle);
        }
        if (state_ != State::Handshake) {
            decryptAndProcess();
        }
    }
}

// Decrypts what TLS holds and answers it, until answers pile up unread or this connection has
// had its turn; the rest waits.
void ServiceConnection::decryptAndProcess() {
    while (reading()) {
        dropAnsweredInput();
        // A request under way is read to its end; the turn is over only between requests.
        if (answersLeft_ <= 0 && state_ == State::Idle) {
            if (!input_.isEmpty() || tls_->hasInput() || socket_->bytesAvailable() > 0) {
                yieldTurn();
            }
            return;
        }
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

// Answers the complete requests in the input, in order, until answers pile up unread or this
// connection has had its turn.
void ServiceConnection::process() {
    while (reading() && (pos_ < input_.size() || state_ == State::Head || state_ == State::Body)) {
        if (answersLeft_ <= 0 && state_ == State::Idle) {
            yieldTurn();
            break;
        }
        if (state_ == State::Idle) {
            enter(State::Head);
        }
        const RequestReader::Step step = reader_.read(input_, &pos_);
        if (step == RequestReader::Step::NeedMore) {
            if (reader_.inBody() && state_ == State::Head) {
                enter(State::Body);
                if (reader_.request().expectContinue) {
                    send(StatusLine(100) + "\r\n");
                }
            }
            break;
        }
        if (step == RequestReader::Step::Failed) {
            const HttpRequest &partial = reader_.request();
            LogRequest(OrDash(partial.method), OrDash(partial.path), reader_.failStatus(),
                       started_.nsecsElapsed());
            refuse(reader_.failStatus(), reader_.failMessage());
        } else {
            respond(reader_.request());
        }
        reader_.reset();
        --answersLeft_;
        if (state_ == State::Idle && unsent() > load_.unsentShare()) {
            enter(State::Held);
        }
    }
    dropAnsweredInput();
}

// Answered bytes go at once, a partial request after them or not: a client that always sends
// the start of its next request along would otherwise grow the input without end.
void ServiceConnection::dropAnsweredInput() {
    if (pos_ > 0) {
        input_ = pos_ == input_.size() ? QByteArray() : input_.sliced(pos_);
        pos_ = 0;
    }
}

// A client that pipelines requests would otherwise hold the thread for all of them, and every
// other connection of this worker would wait.
void ServiceConnection::yieldTurn() {
    pipelining_ = true;
    enter(State::Yielding);
    worker_->waitForTurn(this);
}

// Takes up what was left waiting, for another turn: requests already read, then TLS, then the
// socket.
void ServiceConnection::proceed() {
    enter(State::Idle);
    answersLeft_ = kAnswersPerTurn;
    process();
    decryptAndProcess();
    readSocket();
}

void ServiceConnection::respond(const HttpRequest &request) {
    Reply reply = worker_->handle(request);
    if (request.method == "HEAD") {
        reply.body.clear();
    }
    answer(reply, request.keepAlive, request.http10);
    LogRequest(request.method, request.path, reply.status, started_.nsecsElapsed());
}

// A request that cannot be answered gets its error, and the connection closes.
void ServiceConnection::refuse(int status, const QString &message) {
    answer(ErrorReply(status, message), false, false);
}

void ServiceConnection::answer(const Reply &reply, bool keepAlive, bool http10) {
    const ConnectionHeader connection = !keepAlive ? ConnectionHeader::Close
                                        : http10   ? ConnectionHeader::KeepAlive
                                                   : ConnectionHeader::None;
    send(ResponseHead(reply.status, {{"Content-Type", reply.contentType}}, reply.body.size(),
                      connection) +
         reply.body);
    if (keepAlive) {
        enter(State::Idle);
    } else {
        closeAfterAnswer();
    }
}

void ServiceConnection::send(const QByteArray &plain) {
    tls_->write(plain);
    sendOutgoing();
}

void ServiceConnection::sendOutgoing() {
    if (const QByteArray cipherText = tls_->takeOutgoing(); !cipherText.isEmpty()) {
        socket_->write(cipherText);
        countUnsent();
    }
}

// A client that broke TLS gets its alert, and nothing more.
void ServiceConnection::drop() {
    enter(State::Closing);
    socket_->disconnectFromHost();
}

// No more requests: the answers go out, the client's leftovers are dropped, then it closes.
void ServiceConnection::closeAfterAnswer() {
    enter(State::Closing);
    input_.clear();
    pos_ = 0;
    socket_->skip(socket_->bytesAvailable());
    if (unsent() == 0) {
        linger();
    }
}

// The answers are out: the client's leftovers are waited for, within kMaxLinger.
void ServiceConnection::linger() {
    linger_.start();
    deadline_.start(kMaxLinger);
}

void ServiceConnection::onWritten() {
    countUnsent();
    if (state_ == State::Closing) {
        if (unsent() == 0 && !linger_.isActive()) {
            linger();
        }
    } else if (state_ == State::Held && unsent() <= load_.unsentShare()) {
        proceed();
    }
}

// Tells the client TLS is over, then closes once the answers are out.
void ServiceConnection::finish() {
    if (tls_) {
        tls_->close();
        sendOutgoing();
    }
    socket_->disconnectFromHost();
}

void ServiceConnection::onDeadline() {
    if (state_ == State::Head || state_ == State::Body) {
        reader_.reset();
        LogRequest("-", "-", 408, started_.nsecsElapsed());
        refuse(408, messages::kTimeout);
        return;
    }
    // A handshake, a silent client, unread answers or a close that never finished.
    abortNow();
}

} // namespace shoulu
