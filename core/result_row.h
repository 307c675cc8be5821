#pragma once

#include <QLatin1String>
#include <QString>

#include <array>

namespace shoulu {

// Between an engine's indexed pages and its backlinks in a result cell: "1234 / 56".
inline constexpr QLatin1String kEngineSeparator(" / ");

// One row of the results table: the domain as the query service names it, then Baidu's, 360's
// and Bing's "pages / backlinks".
struct ResultRow {
    QString domain;
    std::array<QString, 3> engines;
};

// A queue entry that gave no row in a batch, and why, in the user's words.
struct FailedEntry {
    QString domain;
    QString reason;
};

} // namespace shoulu
