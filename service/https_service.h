#pragma once

#include "service/service_logic.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QSslConfiguration>

class QSslServer;
class QSslSocket;

namespace shoulu {

// The HTTPS front of ServiceLogic. Besides Qt's own request parsing it watches every
// connection: it keeps the raw request target (Qt only hands on a repaired URL, which hides
// malformed escapes), cuts off requests larger than the body limit before they are buffered,
// closes connections that stay silent, and writes one log line per request to stderr.
class HttpsService : public QAbstractHttpServer {
    Q_OBJECT

public:
    HttpsService(ServiceLogic *logic, int idleTimeoutMs, QObject *parent = nullptr);

    // Listens on a loopback address only; port 0 picks a free one.
    bool start(const QHostAddress &address, quint16 port, const QSslConfiguration &tls,
               QString *error);
    quint16 port() const { return port_; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    void watch(QSslSocket *socket);

    ServiceLogic *logic_;
    int idleTimeoutMs_;
    QSslServer *listener_ = nullptr;
    quint16 port_ = 0;
};

// One log line: time, method, path, status and duration.
void LogRequest(const QByteArray &method, const QByteArray &path, int status, qint64 nanoseconds);

} // namespace shoulu
