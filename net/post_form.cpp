#include "net/post_form.h"

#include "net/gbk.h"
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

QString EscapeDoubleByte(const QString &text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar unit : text) {
        const auto bytes = GbkDoubleByte(unit);
        if (!bytes) {
            escaped.append(unit);
            continue;
        }
        for (const unsigned char byte : {bytes->first, bytes->second}) {
            escaped.append(QLatin1Char('%'));
            escaped.append(QLatin1Char(kHex[byte >> 4]));
            escaped.append(QLatin1Char(kHex[byte & 0xF]));
        }
    }
    return escaped;
}

} // namespace shoulu
