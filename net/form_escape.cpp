#include "net/post_form.h"

#include "net/gbk.h"

namespace shoulu {

// Kept apart from PostForm so it builds without the network module.
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
