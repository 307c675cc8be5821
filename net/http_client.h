#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QThread;

namespace shoulu {

// Why a request brought no answer.
enum class HttpFailure {
    None,          // the server answered; whatever its status, the body is its text
    InvalidUrl,    // not an http(s) address, or no client to send it with
    ConnectFailed, // refused, reset, closed early, name not found
    TimedOut,      // the stall limit or the total deadline ran out
    TlsFailed,     // handshake or certificate check failed
    TooLarge,      // the answer outgrew the size cap
    BadContent,    // the stack refused the body (broken or bomb-like compression)
};

struct HttpResult {
    QString body;
    HttpFailure failure = HttpFailure::None;

    bool answered() const { return failure == HttpFailure::None; }
};

struct HttpLimits {
    std::chrono::milliseconds stall{60000};  // the longest wait without a byte
    std::chrono::milliseconds total{120000}; // the longest a whole request may take
    qint64 maxBodyBytes = 16 * 1024 * 1024;
};

// The program's HTTP client: one network manager for GETs on the calling thread, one on a thread
// of its own for POSTs, the TLS configuration (system CAs plus any extra ones) given to each
// request, and the limits.
class HttpClient {
public:
    explicit HttpClient(const QByteArray &extraCaPem = {}, HttpLimits limits = {});
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // GET with the single header "If-Modified-Since: 0". Events keep being processed while it
    // waits, so a handler run meanwhile may call get again; that inner call returns first.
    HttpResult get(const QString &url);
    // POST of body as an url-encoded form. The calling thread handles no events at all until it
    // returns, so no user input and no second request come in between.
    HttpResult post(const QString &url, const QByteArray &body);

    void setLimits(const HttpLimits &limits) { limits_ = limits; }
    const HttpLimits &limits() const { return limits_; }
    // Made on first use: setting up TLS loads its library, which start-up need not wait for.
    const QSslConfiguration &tls();

private:
    QNetworkAccessManager &getManager();
    QNetworkAccessManager &postManager();

    QByteArray extraCaPem_;
    std::optional<QSslConfiguration> tls_;
    HttpLimits limits_;
    std::unique_ptr<QNetworkAccessManager> getManager_;
    std::unique_ptr<QThread> postThread_;
    QNetworkAccessManager *postManager_ = nullptr; // lives on postThread_
};

// The one client HttpGet and PostForm send through, set once at start by the program; a test
// hands its own over the same way. With none they fail as InvalidUrl; a client that goes away
// while set is unset.
void SetProgramClient(HttpClient *client);
HttpClient *ProgramClient();

} // namespace shoulu
