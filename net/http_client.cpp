#include "net/http_client.h"

#include "net/tls_trust.h"
#include "net/transfer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace shoulu {

namespace {

HttpClient *g_programClient = nullptr;

// The stack stops reading the socket while this much is unread, so the size cap is checked
// before much more than the cap sits in memory.
constexpr qint64 kReadChunk = 256 * 1024;
constexpr int kMaxRedirects = 10;

QNetworkRequest MakeRequest(const QUrl &url, const QSslConfiguration &tls,
                            const HttpLimits &limits) {
    QNetworkRequest request(url);
    request.setSslConfiguration(tls);
    request.setTransferTimeout(static_cast<int>(limits.stall.count()));
    // One HTTP/1.1 request per call, like the system component this client stands in for.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return request;
}

bool CameFromHttpStatus(QNetworkReply::NetworkError error) {
    // 201-499 are the codes Qt gives an HTTP status of its own choosing; a re-send failure and a
    // protocol breakdown sit in that range but mean the answer did not arrive whole.
    return error >= QNetworkReply::ContentAccessDenied &&
           error <= QNetworkReply::UnknownServerError &&
           error != QNetworkReply::ContentReSendError && error != QNetworkReply::ProtocolFailure;
}

HttpFailure FailureOf(const QNetworkReply &reply) {
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError) {
        return HttpFailure::None;
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Any status that came with a body is an answer; a 2xx with an error means the stack
    // refused the body itself.
    if (status.isValid() && CameFromHttpStatus(error)) {
        return status.toInt() >= 300 ? HttpFailure::None : HttpFailure::BadContent;
    }
    switch (error) {
    case QNetworkReply::OperationCanceledError: // the stall limit
    case QNetworkReply::TimeoutError:
        return HttpFailure::TimedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return HttpFailure::TlsFailed;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return status.isValid() ? HttpFailure::BadContent : HttpFailure::InvalidUrl;
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::UnknownContentError:
        return HttpFailure::BadContent;
    default:
        return HttpFailure::ConnectFailed;
    }
}

struct Hop {
    HttpResult result;
    std::optional<QUrl> redirect;
    bool keepsMethod = false; // 307 and 308 repeat a POST; the others turn it into a GET
};

// Where a redirect answer sends the request next, if it is one worth following: an http(s)
// address, never from https down to plain http.
std::optional<QUrl> RedirectTarget(const QNetworkReply &reply) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray location = reply.rawHeader("Location");
    if (status < 300 || status > 399 || status == 304 || location.isEmpty()) {
        return std::nullopt;
    }
    const QUrl target = reply.url().resolved(QUrl::fromEncoded(location));
    if (!IsHttpUrl(target) || (reply.url().scheme() == QLatin1String("https") &&
                               target.scheme() != QLatin1String("https"))) {
        return std::nullopt;
    }
    return target;
}

// Sends one request on manager's thread and waits for it in a loop of its own there. A call
// made from a handler run inside this wait runs its own loop to the end first.
Hop Run(QNetworkAccessManager &manager, const QNetworkRequest &request, const QByteArray *postBody,
        const HttpLimits &limits, const QDeadlineTimer &deadlineAt) {
    const QPointer<QNetworkReply> reply =
        postBody != nullptr ? manager.post(request, *postBody) : manager.get(request);
    reply->setReadBufferSize(kReadChunk);
    HttpFailure ownFailure = HttpFailure::None;
    QByteArray body;
    const auto giveUp = [&](HttpFailure failure) {
        if (ownFailure == HttpFailure::None && !reply.isNull() && !reply->isFinished()) {
            ownFailure = failure;
            reply->abort();
        }
    };
    const auto take = [&] {
        body += reply->readAll();
        if (body.size() > limits.maxBodyBytes) {
            body.clear();
            giveUp(HttpFailure::TooLarge);
        }
    };

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { giveUp(HttpFailure::TimedOut); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
    deadline.start(std::max<qint64>(deadlineAt.remainingTime(), 0));
    if (!reply->isFinished()) {
        loop.exec();
    }
    deadline.stop();
    if (reply.isNull()) { // its manager was torn down during the wait
        return {{{}, HttpFailure::ConnectFailed}, std::nullopt};
    }
    if (!reply->isFinished()) { // the loop was ended from outside, e.g. by the application exiting
        giveUp(HttpFailure::ConnectFailed);
    }
    if (ownFailure == HttpFailure::None && reply->isOpen()) {
        take();
    }
    Hop hop;
    hop.result.failure = ownFailure != HttpFailure::None ? ownFailure : FailureOf(*reply);
    if (hop.result.answered()) {
        hop.result.body = DecodeBody(body, reply->rawHeader("Content-Type"));
        hop.redirect = RedirectTarget(*reply);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        hop.keepsMethod = status == 307 || status == 308;
    }
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    delete reply.data(); // finished and outside its own signals, so no deferred delete is needed
    return hop;
}

// Follows redirects as a browser's request object does, all within the one total deadline. Qt
// would drop the body of a redirect answer that names no target, so redirects are followed here.
HttpResult Send(QNetworkAccessManager &manager, QNetworkRequest request,
                std::optional<QByteArray> postBody, const HttpLimits &limits) {
    const QDeadlineTimer deadline(limits.total);
    for (int hops = 0;; ++hops) {
        const Hop hop = Run(manager, request, postBody ? &*postBody : nullptr, limits, deadline);
        if (!hop.redirect || hops == kMaxRedirects) {
            return hop.result;
        }
        request.setUrl(*hop.redirect);
        if (postBody && !hop.keepsMethod) {
            postBody.reset();
            request.setRawHeader("CONTENT-TYPE", QByteArray());
        }
    }
}

} // namespace

HttpClient::HttpClient(const QByteArray &extraCaPem, HttpLimits limits)
    : extraCaPem_(extraCaPem)
    , limits_(limits) {}

HttpClient::~HttpClient() {
    if (g_programClient == this) {
        g_programClient = nullptr;
    }
    if (postThread_) {
        QMetaObject::invokeMethod(
            postManager_, [this] { delete postManager_; }, Qt::BlockingQueuedConnection);
        postThread_->quit();
        postThread_->wait();
    }
}

const QSslConfiguration &HttpClient::tls() {
    if (!tls_) {
        tls_ = TlsWithExtraCa(extraCaPem_);
    }
    return *tls_;
}

void SetProgramClient(HttpClient *client) {
    g_programClient = client;
}

HttpClient *ProgramClient() {
    return g_programClient;
}

QNetworkAccessManager &HttpClient::getManager() {
    // Made on first use, so start-up pays nothing for it; kept, so connections stay alive.
    if (!getManager_) {
        getManager_ = std::make_unique<QNetworkAccessManager>();
    }
    return *getManager_;
}

QNetworkAccessManager &HttpClient::postManager() {
    if (!postThread_) {
        postThread_ = std::make_unique<QThread>();
        postManager_ = new QNetworkAccessManager;
        postManager_->moveToThread(postThread_.get());
        postThread_->start();
    }
    return *postManager_;
}

HttpResult HttpClient::get(const QString &url) {
    const QUrl target(url);
    if (!IsHttpUrl(target)) {
        return {{}, HttpFailure::InvalidUrl};
    }
    QNetworkRequest request = MakeRequest(target, tls(), limits_);
    request.setRawHeader("If-Modified-Since", "0");
    return Send(getManager(), request, std::nullopt, limits_);
}

HttpResult HttpClient::post(const QString &url, const QByteArray &body) {
    const QUrl target(url);
    if (!IsHttpUrl(target)) {
        return {{}, HttpFailure::InvalidUrl};
    }
    QNetworkRequest request = MakeRequest(target, tls(), limits_);
    request.setRawHeader("CONTENT-TYPE", "application/x-www-form-urlencoded");
    // The transfer runs on the client's own thread and this one simply blocks: it processes no
    // events, not even timers, until the answer is in.
    QNetworkAccessManager &manager = postManager();
    const HttpLimits limits = limits_;
    HttpResult result;
    QMetaObject::invokeMethod(
        &manager, [&] { result = Send(manager, request, body, limits); },
        Qt::BlockingQueuedConnection);
    return result;
}

} // namespace shoulu
