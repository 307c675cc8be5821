#pragma once

#include "service/service_logic.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>

#include <chrono>
#include <memory>

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

// The HTTPS front of ServiceLogic. It accepts connections itself rather than through Qt's
// HttpServer, whose listener and parser in Qt 6.4 cannot bound a handshake, pause a reader or
// keep requests apart; every connection runs under ConnectionLimits.
class HttpsService : public QTcpServer {
    Q_OBJECT

public:
    HttpsService(ServiceLogic *logic, ConnectionLimits limits, QObject *parent = nullptr);

    // Listens on a loopback address only; port 0 picks a free one.
    bool start(const QHostAddress &address, quint16 port, const QSslConfiguration &tls,
               QString *error);
    quint16 port() const { return serverPort(); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ServiceLogic *logic_;
    ConnectionLimits limits_;
    QSslConfiguration tls_;
    // Shared with the connections, which may outlive this object's members while it is torn down.
    std::shared_ptr<int> open_ = std::make_shared<int>(0);
};

} // namespace shoulu
