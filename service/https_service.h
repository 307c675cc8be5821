#pragma once

#include "service/service_logic.h"

#include <QHostAddress>
#include <QTcpServer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace shoulu {

// What one connection may take of the service. Each limit keeps a single client from stopping
// the service, slowing it for everyone or growing its memory without bound.
struct ConnectionLimits {
    // Silent between requests; also how long answers may stay unread above kMaxUnsentBytes.
    std::chrono::milliseconds idle{15000};
    std::chrono::milliseconds handshake{10000};
    // For the head of a request, and again for its body.
    std::chrono::milliseconds request{60000};
    // Open connections, handshakes included; those past it are closed at once.
    int maxConnections = 2500;
};

// Above this much unsent answer a connection's further requests are left unread.
inline constexpr qint64 kMaxUnsentBytes = 256 * 1024;

// Answers one request. Each worker thread has its own, as a store connection must stay in the
// thread that opened it.
using RequestHandler = std::function<Reply(const RawRequest &)>;
// Builds a worker's handler, in that worker's thread; an empty one with error set on failure.
using HandlerFactory = std::function<RequestHandler(QString *error)>;

class ServiceWorker;
class TlsContext;

// The HTTPS front of ServiceLogic. It accepts connections itself rather than through Qt's
// HttpServer, whose listener and parser in Qt 6.4 cannot bound a handshake, pause a reader or
// keep requests apart; every connection runs under ConnectionLimits. This object's thread only
// accepts: a few worker threads, each with its own event loop, do the handshakes, reading and
// answering, so a burst of handshakes or thousands of open connections on one of them does not
// hold up the others, nor the accepting.
class HttpsService : public QTcpServer {
    Q_OBJECT

public:
    HttpsService(HandlerFactory handlers, ConnectionLimits limits, QObject *parent = nullptr);
    ~HttpsService() override;

    // Starts the workers and listens on a loopback address only; port 0 picks a free one.
    bool start(const QHostAddress &address, quint16 port, const std::shared_ptr<TlsContext> &tls,
               QString *error);
    quint16 port() const { return serverPort(); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void stopWorkers();

    HandlerFactory handlers_;
    ConnectionLimits limits_;
    // Open connections in all workers; only this thread adds to it, so the cap holds.
    std::atomic<int> open_{0};
    std::vector<std::unique_ptr<ServiceWorker>> workers_;
};

} // namespace shoulu
