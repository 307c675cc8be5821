#pragma once

#include <QChar>

#include <optional>
#include <utility>

namespace shoulu {

// The lead and trail byte of a UTF-16 code unit that GBK writes as two bytes, or nothing when
// GBK writes it as one byte or cannot write it at all.
std::optional<std::pair<unsigned char, unsigned char>> GbkDoubleByte(QChar unit);

} // namespace shoulu
