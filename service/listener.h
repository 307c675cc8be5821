#pragma once

#include "service/worker.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <memory>
#include <vector>

namespace shoulu {

class TlsContext;

// The HTTPS front of ServiceLogic. It accepts connections itself rather than through Qt's
// HttpServer, whose listener and parser in Qt 6.4 cannot bound a handshake, pause a reader or
// keep requests apart; every connection runs under ConnectionLimits. This object's thread only
// accepts: a few worker threads, each with its own event loop, do the handshakes, reading and
// answering, so a burst of handshakes or thousands of open connections on one of them does not
// hold up the others, nor the accepting.
class ServiceListener : public QTcpServer {
    Q_OBJECT

public:
    ServiceListener(HandlerFactory handlers, ConnectionLimits limits, QObject *parent = nullptr);
    ~ServiceListener() override;

    // Starts the workers and listens on a loopback address only; port 0 picks a free one.
    bool start(const QHostAddress &address, quint16 port, const std::shared_ptr<TlsContext> &tls,
               QString *error);
    quint16 port() const { return serverPort(); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool makeRoom();
    void releaseMemoryOnceFreed();
    void stopWorkers();

    HandlerFactory handlers_;
    ServiceLoad load_;
    std::vector<std::unique_ptr<ServiceWorker>> workers_;
    // Connections at their most since memory was last given back, and at the last check.
    QTimer releaseCheck_;
    int peakOpen_ = 0;
    int lastOpen_ = 0;
};

} // namespace shoulu
