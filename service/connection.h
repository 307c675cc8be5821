#pragma once

#include "service/eviction_queue.h"
#include "service/http_request.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QTcpSocket;

namespace shoulu {

class ServiceWorker;
class TlsSession;
struct Reply;
struct ServiceLoad;

// One client connection from the first TCP byte to the close; owns its socket. It reads only
// in a state that uses what it reads, so a client that sends faster than its answers leave, or
// than its turn allows, waits in its own socket rather than in the service's memory.
class ServiceConnection : public QObject {
public:
    enum class State {
        Handshake, // TLS is not through yet
        Idle,      // between requests
        Head,      // a request's head is coming in
        Body,      // its body is coming in
        Held,      // its answers wait unread past its share; nothing more is read
        Yielding,  // it had its turn, and waits for its worker to come back to it
        Closing,   // answered for the last time: the answers go out, then it closes
        Gone,      // the socket is closed; the connection is about to be deleted
    };

    ServiceConnection(QTcpSocket *socket, ServiceWorker *worker);
    ~ServiceConnection() override;

    // Closed to make room for a newcomer, once its worker has taken it out of the queue.
    void evict();
    // Its worker has come back to it after the others had their turn.
    void takeTurn();

private:
    void enter(State next);
    bool reading() const;
    qint64 unsent() const;
    void countUnsent();
    std::chrono::milliseconds requestTime() const;

    void onReadyRead();
    void readSocket();
    void decryptAndProcess();
    void process();
    void dropAnsweredInput();
    void yieldTurn();
    void proceed();
    void respond(const HttpRequest &request);
    void refuse(int status, const QString &message);
    void answer(const Reply &reply, bool keepAlive, bool http10);
    void send(const QByteArray &plain);
    void sendOutgoing();
    void drop();
    void abortNow();
    void closeAfterAnswer();
    void linger();
    void onWritten();
    void finish();
    void onDeadline();

    ServiceWorker *worker_;
    ServiceLoad &load_;
    QTcpSocket *socket_;
    std::unique_ptr<TlsSession> tls_;
    State state_ = State::Handshake;
    std::optional<EvictionQueue::Place> queued_;
    QTimer deadline_;
    QTimer linger_;
    QElapsedTimer started_;
    RequestReader reader_;
    QByteArray input_;
    qsizetype pos_ = 0;
    // Requests this connection may still answer before the others get their turn.
    int answersLeft_ = 0;
    // It sent requests before its answers were out, and will again.
    bool pipelining_ = false;
    // What this connection adds to the service's unsent answers.
    qint64 counted_ = 0;
};

} // namespace shoulu
