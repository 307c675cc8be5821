#include "net/transfer.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QUrl>

#include <atomic>

namespace shoulu {

namespace {

std::atomic<qint64> g_stallTimeoutMs{kDefaultHttpStallTimeout.count()};

QByteArray CharsetOf(const QByteArray &contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts[i].trimmed();
        const qsizetype eq = part.indexOf('=');
        if (eq < 0 || part.left(eq).trimmed().toLower() != "charset") {
            continue;
        }
        QByteArray value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
            value = value.mid(1, value.size() - 2).trimmed();
        }
        return value.toLower();
    }
    return {};
}

// Servers that say gb2312 or gbk send GBK, and GB18030 reads every GBK sequence the same way,
// so the whole family goes to the one decoder (as browsers do).
QByteArray DecoderName(const QByteArray &charset) {
    static const char *const kGbkFamily[] = {
        "gbk",         "gb2312",  "gb_2312",  "gb_2312-80", "x-gbk",     "cp936",    "ms936",
        "windows-936", "gb18030", "csgb2312", "chinese",    "iso-ir-58", "x-gb2312", "euc-cn"};
    for (const char *name : kGbkFamily) {
        if (charset == name) {
            return "GB18030";
        }
    }
    return charset;
}

} // namespace

void SetHttpStallTimeout(std::chrono::milliseconds timeout) {
    g_stallTimeoutMs.store(timeout.count());
}

std::chrono::milliseconds HttpStallTimeout() {
    return std::chrono::milliseconds(g_stallTimeoutMs.load());
}

QString DecodeBody(const QByteArray &body, const QByteArray &contentType) {
    if (body.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(body.constData() + 3, body.size() - 3);
    }
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringDecoder::Utf16); // detects the order and drops the mark
        return utf16.decode(body);
    }
    const QByteArray charset = CharsetOf(contentType);
    QString text;
    if (!charset.isEmpty() && charset != "utf-8" && charset != "utf8") {
        QStringDecoder decoder(DecoderName(charset).constData());
        if (decoder.isValid()) {
            text = decoder.decode(body);
        } else {
            text = QString::fromUtf8(body);
        }
    } else {
        text = QString::fromUtf8(body);
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    return text;
}

bool IsHttpUrl(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QNetworkRequest MakeRequest(const QUrl &url) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(HttpStallTimeout().count()));
    // One HTTP/1.1 request per call, like the system component this client stands in for.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

QString FinishedReplyText(QNetworkReply &reply) {
    const QNetworkReply::NetworkError error = reply.error();
    // Codes 201-299 and 401-499 come from an HTTP status: the server answered, its body counts.
    // ContentReSendError is the one in that range where no answer arrived.
    const bool answered =
        error == QNetworkReply::NoError ||
        (error >= QNetworkReply::ContentAccessDenied &&
         error <= QNetworkReply::UnknownContentError &&
         error != QNetworkReply::ContentReSendError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    if (!answered) {
        return {};
    }
    return DecodeBody(reply.readAll(), reply.rawHeader("Content-Type"));
}

} // namespace shoulu
