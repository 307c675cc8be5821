#include "net/gbk.h"

#include <QStringEncoder>

#include <array>
#include <utility>

namespace shoulu {

namespace {

// 0 means "not a double-byte unit"; no double-byte GBK character has lead byte 0.
using GbkTable = std::array<quint16, 0x10000>;

GbkTable BuildTable()
{
    GbkTable table{};
    QString units;
    for (char32_t code = 0x80; code < 0x10000; ++code) {
        if (code < 0xD800 || code > 0xDFFF) { // a lone surrogate half is never a GBK character
            units.append(QChar(static_cast<char16_t>(code)));
        }
    }
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        return table;
    }
    // GBK writes a unit as one byte below 0x81 (unmappable ones as a one-byte substitute) or as
    // a lead byte from 0x81 followed by a trail byte, so the output can be walked unit by unit.
    const QByteArray bytes = encoder.encode(units);
    qsizetype pos = 0;
    for (const QChar unit : std::as_const(units)) {
        if (pos >= bytes.size()) {
            break;
        }
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        if (lead >= 0x81 && pos + 1 < bytes.size()) {
            table[unit.unicode()] =
                static_cast<quint16>((lead << 8) | static_cast<unsigned char>(bytes[pos + 1]));
            pos += 2;
        } else {
            pos += 1;
        }
    }
    return table;
}

const GbkTable &Table()
{
    static const GbkTable table = BuildTable();
    return table;
}

} // namespace

std::optional<std::pair<unsigned char, unsigned char>> GbkDoubleByte(QChar unit)
{
    const quint16 bytes = Table()[unit.unicode()];
    if (bytes == 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<unsigned char>(bytes >> 8),
                          static_cast<unsigned char>(bytes & 0xFF));
}

} // namespace shoulu
