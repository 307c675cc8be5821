#pragma once

#include "service/eviction_queue.h"
#include "service/limits.h"
#include "service/service_logic.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

namespace shoulu {

class ServiceConnection;
class TlsContext;

// Answers one request. Each worker thread has its own, as a store connection must stay in the
// thread that opened it.
using RequestHandler = std::function<Reply(const HttpRequest &)>;
// Builds a worker's handler, in that worker's thread; an empty one with error set on failure.
using HandlerFactory = std::function<RequestHandler(QString *error)>;

// What the listener and all workers share.
struct ServiceLoad {
    ConnectionLimits limits;
    // Open connections in all workers; only the listener adds to it, so the cap holds.
    std::atomic<int> open{0};
    // Answers of all connections not yet taken by the kernel.
    std::atomic<qint64> unsent{0};

    qint64 unsentShare() const { return UnsentShare(unsent, open); }

    // Past seven eighths of the cap, a client slow with its request makes way sooner.
    bool nearFull() const { return open >= limits.maxConnections - limits.maxConnections / 8; }
};

// One worker thread's connections; lives in that thread, which it owns.
class ServiceWorker : public QObject {
public:
    ServiceWorker(std::shared_ptr<TlsContext> tls, ServiceLoad *load);

    // In this worker's thread from here on.
    bool build(const HandlerFactory &handlers, QString *error);
    void adopt(qintptr descriptor);
    // Ends every connection and the handler while the thread still runs, then the thread.
    void stop();

    Reply handle(const HttpRequest &request) const { return handler_(request); }
    const std::shared_ptr<TlsContext> &tls() const { return tls_; }
    ServiceLoad &load() const { return *load_; }
    EvictionQueue &evictionQueue() { return evictionQueue_; }
    // A connection of this worker has gone.
    void release() {
        --assigned;
        --load_->open;
    }
    // Closes the connection claimed from this worker's eviction queue.
    void evictClaimed();
    // A connection that had its turn with requests left is come back to after the others.
    void waitForTurn(ServiceConnection *connection);

    // Connections handed to this worker and not yet gone; the listener adds to it as it hands
    // one over, before the worker has it.
    std::atomic<int> assigned{0};

private:
    void runTurns();

    std::shared_ptr<TlsContext> tls_;
    ServiceLoad *load_;
    RequestHandler handler_;
    EvictionQueue evictionQueue_;
    // Connections waiting for their next turn, in order; served between the loop's passes, for
    // at most kTurnSlice each pass, so a newcomer's next step never waits behind all of them.
    std::deque<QPointer<ServiceConnection>> turns_;
    QTimer turnTimer_;
    QThread thread_;
};

} // namespace shoulu
