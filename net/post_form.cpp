#include "net/post_form.h"

#include "net/tls_trust.h"
#include "net/transfer.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

#include <memory>

namespace shoulu {

namespace {

// Runs on a thread of its own with its own manager and event loop.
QString PostOnThisThread(const QUrl &url, const QByteArray &body) {
    QNetworkAccessManager manager;
    QNetworkRequest request = MakeRequest(url);
    request.setRawHeader("CONTENT-TYPE", "application/x-www-form-urlencoded");
    const std::unique_ptr<QNetworkReply> reply(manager.post(request, body));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    if (!reply->isFinished()) {
        reply->abort();
    }
    return FinishedReplyText(*reply);
}

} // namespace

QString PostForm(const QString &url, const QString &data) {
    const QUrl target(url);
    if (!IsHttpUrl(target)) {
        return {};
    }
    TrustCompiledInCaCertificate();

    // The transfer runs elsewhere and this thread simply blocks: it processes no events, not
    // even timers, until the answer is in.
    // What remains after the escaping goes out as UTF-8, as the system component sends a text body.
    const QByteArray body = EscapeDoubleByte(data).toUtf8();
    QString text;
    const std::unique_ptr<QThread> worker(
        QThread::create([&text, &target, &body] { text = PostOnThisThread(target, body); }));
    worker->start();
    worker->wait();
    return text;
}

} // namespace shoulu
