// EscapeDoubleByte and ToAnsiBytes on arbitrary UTF-16, lone surrogates included. Besides
// crashes it checks that both agree unit by unit on which characters GBK writes as two bytes.
#include "net/gbk.h"
#include "net/md5.h"
#include "net/post_form.h"
#include "tests/fuzz/fuzz_check.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

QString Hex(unsigned char byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QString text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        text.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
    }
    const QString escaped = shoulu::EscapeDoubleByte(text);
    const QByteArray bytes = shoulu::ToAnsiBytes(text);

    QString expectedEscape;
    QByteArray expectedBytes;
    for (const QChar unit : text) {
        const auto pair = shoulu::GbkDoubleByte(unit);
        if (pair) {
            expectedEscape +=
                QLatin1Char('%') + Hex(pair->first) + QLatin1Char('%') + Hex(pair->second);
            expectedBytes += static_cast<char>(pair->first);
            expectedBytes += static_cast<char>(pair->second);
            Check(pair->first >= 0x81 && pair->first <= 0xFE);
            Check(pair->second >= 0x40 && pair->second <= 0xFE);
        } else {
            expectedEscape += unit;
            expectedBytes += static_cast<char>(unit.unicode() & 0xFF);
        }
    }
    Check(escaped == expectedEscape);
    Check(bytes == expectedBytes);
    Check(shoulu::EscapeDoubleByte(escaped) == escaped); // the output has nothing left to escape
    (void)shoulu::Md5Hex(text, 32);
    return 0;
}
