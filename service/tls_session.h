#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct ssl_ctx_st;
struct ssl_st;

namespace shoulu {

// The server's certificate and key, loaded once and shared by every connection and thread.
// Qt's own TLS sockets build a fresh OpenSSL context per connection, which costs about a
// millisecond and tens of kilobytes before the client has said a word; a flood of handshakes
// then eats the service.
class TlsContext {
public:
    // From PEM texts: the certificate chain (the server's first) and its private key. Null
    // with error set when either cannot be used.
    static std::shared_ptr<TlsContext> FromPem(const QByteArray &chainPem, const QByteArray &keyPem,
                                               QString *error);
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    ssl_ctx_st *handle() const { return context_; }

private:
    explicit TlsContext(ssl_ctx_st *context)
        : context_(context) {}
    ssl_ctx_st *context_;
};

// Frees what OpenSSL keeps for the calling thread (its error queue, among others); for a thread
// that is about to end and uses TLS no more.
void EndTlsInThisThread();

// The server side of one TLS connection, kept apart from the socket: the caller hands in what
// the client sent and sends on what comes out, so it alone decides when to read, and so a
// connection that has not sent a byte costs no TLS state at all.
class TlsSession {
public:
    explicit TlsSession(std::shared_ptr<TlsContext> context);
    ~TlsSession();
    TlsSession(const TlsSession &) = delete;
    TlsSession &operator=(const TlsSession &) = delete;

    // Takes bytes from the client and advances the handshake; false when the client broke the
    // protocol (the alert to send is then in takeOutgoing()).
    bool receive(const QByteArray &cipherText);
    bool established() const { return established_; }
    // Appends at most max decrypted bytes of those received; false on a protocol error. After
    // the client's close_notify nothing more comes.
    bool readPlain(qsizetype max, QByteArray *plain);
    // Received bytes are waiting to be read, decrypted or not.
    bool hasInput() const;
    void write(const QByteArray &plain);
    // Tells the client that no more is coming.
    void close();
    // Bytes to send to the client.
    QByteArray takeOutgoing();

private:
    bool handshake();

    std::shared_ptr<TlsContext> context_;
    ssl_st *ssl_;
    bool established_ = false;
};

} // namespace shoulu
