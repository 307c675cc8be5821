#include "net/gbk.h"

#include "net/code_page.h"

#include <array>
#include <utility>

namespace shoulu {

void RequireGbk() {
    if (EncodeGbk(u"\u4E2D") != QByteArrayView("\xD6\xD0")) {
        ReportGbkMissing();
    }
}

namespace {

// 0 means "not a double-byte unit"; no double-byte GBK character has lead byte 0.
using GbkTable = std::array<quint16, 0x10000>;

GbkTable BuildTable() {
    GbkTable table{};
    for (char32_t code = 0x80; code < 0x10000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue; // a lone surrogate half is never a GBK character
        }
        const QChar unit(static_cast<char16_t>(code));
        // Unmappable units come back as a one-byte substitute, so two bytes always mean a
        // real double-byte character.
        const QByteArray bytes = EncodeGbk(QStringView(&unit, 1));
        if (bytes.size() == 2) {
            table[code] = static_cast<quint16>((static_cast<unsigned char>(bytes[0]) << 8) |
                                               static_cast<unsigned char>(bytes[1]));
        }
    }
    return table;
}

const GbkTable &Table() {
    static const GbkTable table = BuildTable();
    return table;
}

} // namespace

std::optional<std::pair<unsigned char, unsigned char>> GbkDoubleByte(QChar unit) {
    const quint16 bytes = Table()[unit.unicode()];
    if (bytes == 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<unsigned char>(bytes >> 8),
                          static_cast<unsigned char>(bytes & 0xFF));
}

} // namespace shoulu
