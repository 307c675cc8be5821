#include "core/result_order.h"

#include "core/result_row.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>
#include <optional>

namespace shoulu {

namespace {

// Plain digits, or digits grouped by commas; the digits without commas or leading zeros, so
// counts of any length compare by length, then by text.
std::optional<QString> CountDigits(const QString &cell) {
    static const QRegularExpression kCount(QStringLiteral("^(\\d+|\\d{1,3}(,\\d{3})+)$"));
    const QString first = cell.section(kEngineSeparator, 0, 0);
    if (!kCount.match(first).hasMatch()) {
        return std::nullopt;
    }
    QString digits = first;
    digits.remove(QLatin1Char(','));
    qsizetype start = 0;
    while (start < digits.size() && digits[start] == u'0') {
        ++start;
    }
    return digits.sliced(start);
}

int CompareCounts(const QString &a, const QString &b) {
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

} // namespace

QList<int> SortedRowOrder(const QStringList &cells, int column, Qt::SortOrder order) {
    QList<int> rows(cells.size());
    std::iota(rows.begin(), rows.end(), 0);
    const int sign = order == Qt::AscendingOrder ? 1 : -1;
    if (column == 0) {
        QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            return sign * collator.compare(cells[a], cells[b]) < 0;
        });
        return rows;
    }
    QList<std::optional<QString>> keys;
    keys.reserve(cells.size());
    for (const QString &cell : cells) {
        keys.append(CountDigits(cell));
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        if (!keys[a] || !keys[b]) {
            return keys[a].has_value() && !keys[b].has_value();
        }
        return sign * CompareCounts(*keys[a], *keys[b]) < 0;
    });
    return rows;
}

} // namespace shoulu
