#include "net/transfer.h"

#include "net/code_page.h"

#include <QStringDecoder>
#include <QUrl>

namespace shoulu {

namespace {

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
        const QByteArray name = DecoderName(charset);
        if (name == "GB18030") {
            text = DecodeGb18030(body);
        } else if (QStringDecoder decoder(name.constData()); decoder.isValid()) {
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

} // namespace shoulu
