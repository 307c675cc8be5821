#include "service/tls_session.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <array>

namespace shoulu {

namespace {

struct BioFree {
    void operator()(BIO *bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

struct ContextFree {
    void operator()(SSL_CTX *context) const { SSL_CTX_free(context); }
};
using ContextPtr = std::unique_ptr<SSL_CTX, ContextFree>;

// Without it OpenSSL would ask for a passphrase on the terminal and wait there; an encrypted
// key is refused instead.
int NoPassphrase(char *, int, int, void *) {
    return 0;
}

BioPtr Reader(const QByteArray &pem) {
    return BioPtr(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
}

bool UseChain(SSL_CTX *context, const QByteArray &chainPem) {
    const BioPtr in = Reader(chainPem);
    X509 *leaf = PEM_read_bio_X509(in.get(), nullptr, NoPassphrase, nullptr);
    const bool used = leaf != nullptr && SSL_CTX_use_certificate(context, leaf) == 1;
    X509_free(leaf);
    while (used) {
        X509 *issuer = PEM_read_bio_X509(in.get(), nullptr, NoPassphrase, nullptr);
        if (issuer == nullptr) {
            break;
        }
        if (SSL_CTX_add0_chain_cert(context, issuer) != 1) {
            X509_free(issuer);
            return false;
        }
    }
    return used;
}

// Empty when the key is in use; otherwise why not.
QString UseKey(SSL_CTX *context, const QByteArray &keyPem) {
    const BioPtr in = Reader(keyPem);
    EVP_PKEY *key = PEM_read_bio_PrivateKey(in.get(), nullptr, NoPassphrase, nullptr);
    if (key == nullptr) {
        return QStringLiteral("no unencrypted PEM private key in the key file");
    }
    const bool used =
        SSL_CTX_use_PrivateKey(context, key) == 1 && SSL_CTX_check_private_key(context) == 1;
    EVP_PKEY_free(key);
    return used ? QString() : QStringLiteral("the private key does not belong to the certificate");
}

} // namespace

void EndTlsInThisThread() {
    OPENSSL_thread_stop();
}

std::shared_ptr<TlsContext> TlsContext::FromPem(const QByteArray &chainPem,
                                                const QByteArray &keyPem, QString *error) {
    ContextPtr context(SSL_CTX_new(TLS_server_method()));
    error->clear();
    if (!context) {
        *error = QStringLiteral("cannot set up TLS");
    } else if (!UseChain(context.get(), chainPem)) {
        *error = QStringLiteral("no usable PEM certificate in the certificate file");
    } else {
        *error = UseKey(context.get(), keyPem);
    }
    ERR_clear_error();
    if (!error->isEmpty()) {
        return {};
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    // Renegotiation lets one client make the service redo handshakes at will.
    SSL_CTX_set_options(context.get(), SSL_OP_NO_RENEGOTIATION);
    // Thousands of idle connections then hold no record buffers.
    SSL_CTX_set_mode(context.get(), SSL_MODE_RELEASE_BUFFERS);
    // No resumption: a session cache grows with every client, and tickets cost a third of each
    // handshake while keep-alive already spares the clients most handshakes.
    SSL_CTX_set_session_cache_mode(context.get(), SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(context.get(), 0);
    SSL_CTX_set_options(context.get(), SSL_OP_NO_TICKET);
    return std::shared_ptr<TlsContext>(new TlsContext(context.release()));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(context_);
}

TlsSession::TlsSession(std::shared_ptr<TlsContext> context)
    : context_(std::move(context))
    , ssl_(SSL_new(context_->handle())) {
    // Memory buffers, not the socket: the connection moves the bytes itself.
    SSL_set_bio(ssl_, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(ssl_);
}

TlsSession::~TlsSession() {
    SSL_free(ssl_);
}

bool TlsSession::receive(const QByteArray &cipherText) {
    if (!cipherText.isEmpty()) {
        BIO_write(SSL_get_rbio(ssl_), cipherText.constData(), static_cast<int>(cipherText.size()));
    }
    return established_ || handshake();
}

bool TlsSession::handshake() {
    const int result = SSL_do_handshake(ssl_);
    if (result == 1) {
        established_ = true;
        return true;
    }
    const bool waiting = SSL_get_error(ssl_, result) == SSL_ERROR_WANT_READ;
    ERR_clear_error();
    return waiting;
}

bool TlsSession::readPlain(qsizetype max, QByteArray *plain) {
    // Not zeroed: SSL_read fills what it reports. Reading into the input itself would leave
    // every idle connection holding a buffer of max bytes.
    std::array<char, 16 * 1024> buffer;
    for (qsizetype taken = 0; taken < max;) {
        const int wanted = static_cast<int>(qMin<qsizetype>(buffer.size(), max - taken));
        const int result = SSL_read(ssl_, buffer.data(), wanted);
        if (result > 0) {
            plain->append(buffer.data(), result);
            taken += result;
            continue;
        }
        const int reason = SSL_get_error(ssl_, result);
        ERR_clear_error();
        // A close_notify ends the input; the connection's own close follows.
        return reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_ZERO_RETURN;
    }
    return true;
}

bool TlsSession::hasInput() const {
    return SSL_pending(ssl_) > 0 || BIO_ctrl_pending(SSL_get_rbio(ssl_)) > 0;
}

void TlsSession::write(const QByteArray &plain) {
    if (established_ && !plain.isEmpty()) {
        // A memory buffer takes it all at once.
        SSL_write(ssl_, plain.constData(), static_cast<int>(plain.size()));
        ERR_clear_error();
    }
}

void TlsSession::close() {
    if (established_) {
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
}

QByteArray TlsSession::takeOutgoing() {
    BIO *out = SSL_get_wbio(ssl_);
    QByteArray cipherText(static_cast<qsizetype>(BIO_ctrl_pending(out)), Qt::Uninitialized);
    if (!cipherText.isEmpty()) {
        BIO_read(out, cipherText.data(), static_cast<int>(cipherText.size()));
    }
    return cipherText;
}

} // namespace shoulu
