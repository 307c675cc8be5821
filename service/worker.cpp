#include "service/worker.h"

#include "service/connection.h"
#include "service/epoll_dispatcher.h"
#include "service/tls_session.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QTcpSocket>

namespace shoulu {

namespace {

// How long the connections waiting for their turn are served, each pass of the loop.
constexpr std::chrono::milliseconds kTurnSlice{2};

} // namespace

ServiceWorker::ServiceWorker(std::shared_ptr<TlsContext> tls, ServiceLoad *load)
    : tls_(std::move(tls))
    , load_(load) {
    moveToThread(&thread_);
    evictionQueue_.moveToThread(&thread_);
    turnTimer_.moveToThread(&thread_);
    connect(&turnTimer_, &QTimer::timeout, this, &ServiceWorker::runTurns);
    // Each worker holds hundreds or thousands of mostly idle sockets, which Qt's own dispatcher
    // would poll on every turn of the loop.
    if (QAbstractEventDispatcher *dispatcher = NewScalableEventDispatcher()) {
        thread_.setEventDispatcher(dispatcher);
    }
    thread_.start();
}

bool ServiceWorker::build(const HandlerFactory &handlers, QString *error) {
    handler_ = handlers(error);
    return bool(handler_);
}

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

void ServiceWorker::stop() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            // The connections are this worker's only children.
            qDeleteAll(children());
            handler_ = {};
            turns_.clear();
            turnTimer_.stop();
            // OpenSSL would otherwise leave this thread's state behind when a connection was
            // stopped in the middle of its handshake.
            EndTlsInThisThread();
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void ServiceWorker::waitForTurn(ServiceConnection *connection) {
    turns_.emplace_back(connection);
    if (!turnTimer_.isActive()) {
        // A zero timer fires once each pass of the loop, after the sockets had theirs.
        turnTimer_.start(0);
    }
}

// Each connection waiting has one turn a pass at most, as each socket has one event: a few
// pipelining clients do not take the pass from the others.
void ServiceWorker::runTurns() {
    QElapsedTimer slice;
    slice.start();
    for (size_t waiting = turns_.size();
         waiting > 0 && !turns_.empty() &&
         std::chrono::nanoseconds(slice.nsecsElapsed()) < kTurnSlice;
         --waiting) {
        const QPointer<ServiceConnection> next = turns_.front();
        turns_.pop_front();
        if (next) {
            next->takeTurn();
        }
    }
    if (turns_.empty()) {
        turnTimer_.stop();
    }
}

void ServiceWorker::evictClaimed() {
    if (ServiceConnection *connection = evictionQueue_.takeOldest()) {
        connection->evict();
    }
}

} // namespace shoulu
