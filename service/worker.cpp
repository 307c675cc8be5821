#include "service/worker.h"

#include "service/connection.h"
#include "service/epoll_dispatcher.h"

#include <QAbstractEventDispatcher>
#include <QTcpSocket>

namespace shoulu {

ServiceWorker::ServiceWorker(std::shared_ptr<TlsContext> tls, ServiceLoad *load)
    : tls_(std::move(tls))
    , load_(load) {
    moveToThread(&thread_);
    evictionQueue_.moveToThread(&thread_);
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
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void ServiceWorker::evictClaimed() {
    if (ServiceConnection *connection = evictionQueue_.takeOldest()) {
        connection->evict();
    }
}

} // namespace shoulu
