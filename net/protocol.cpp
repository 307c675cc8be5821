#include "net/protocol.h"

#include "net/md5.h"
#include "shoulu_config.h"

namespace shoulu {

namespace {

bool NeedsEscape(unsigned char byte) {
    switch (byte) {
    case '&':
    case '#':
    case '+':
    case '%':
    case ' ':
        return true;
    default:
        return byte < 0x20 || byte >= 0x7F;
    }
}

QString EscapeUrlValue(const QString &text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (NeedsEscape(byte)) {
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[byte >> 4]);
            out += QLatin1Char(kHex[byte & 0x0F]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return out;
}

} // namespace

QString QueryToken(const QString &domain) {
    return Md5Hex(domain + QStringLiteral("lumbe"), 32);
}

QString QueryUrl(const QString &baseUrl, const QString &domain) {
    return baseUrl + QLatin1String(kQueryPath) + QStringLiteral("?url=") + EscapeUrlValue(domain) +
           QStringLiteral("&token=") + QueryToken(domain);
}

QString VersionRequestBody() {
    return QStringLiteral("sn=") + QLatin1String(kProductId);
}

QString BuiltInVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(SHOULU_VERSION_MAJOR)
        .arg(SHOULU_VERSION_MINOR)
        .arg(SHOULU_VERSION_PATCH);
}

} // namespace shoulu
