#include "net/md5.h"

#include "net/gbk.h"

#include <QCryptographicHash>

namespace shoulu {

QByteArray ToAnsiBytes(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar unit : text) {
        if (const auto pair = GbkDoubleByte(unit)) {
            bytes.append(static_cast<char>(pair->first));
            bytes.append(static_cast<char>(pair->second));
        } else {
            bytes.append(static_cast<char>(unit.unicode() & 0xFF));
        }
    }
    return bytes;
}

QString Md5Hex(const QString &text, qint32 length) {
    const QByteArray digest =
        QCryptographicHash::hash(ToAnsiBytes(text), QCryptographicHash::Md5).toHex().toUpper();
    const QString hex = QString::fromLatin1(digest);
    return length == 32 ? hex : hex.mid(8, 16);
}

} // namespace shoulu
