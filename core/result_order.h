#pragma once

#include <QList>
#include <QStringList>
#include <Qt>

namespace shoulu {

// How the results table sorts by one column: the new top-to-bottom order of the rows, given
// each row's cell of that column. Domains (column 0) compare as text; an engine column by its
// first count as a whole number ("12,345" included), and rows whose count is not a number come
// after all others in either order. Equal keys keep their present order.
QList<int> SortedRowOrder(const QStringList &cells, int column, Qt::SortOrder order);

} // namespace shoulu
