#pragma once

#include <QObject>
#include <Qt>

#include <functional>

class QTableWidget;

namespace shoulu {

// Sorts the results table by a click on a column heading while allowed() holds: a first click
// ascending, the next on the same column reversed. Sorting is a one-off reordering, never
// Qt's live sorting, so rows appended later (a batch, an add with query) go below in their
// own order, and the heading's arrow goes as soon as one is. Column widths are not touched.
// Its owner destroys it before the table, whose model signals a reset as it goes.
class ResultsSorting : public QObject {
    Q_OBJECT

public:
    ResultsSorting(QTableWidget &table, std::function<bool()> allowed);

    void sortBy(int column);

private:
    void forget();

    QTableWidget &table_;
    std::function<bool()> allowed_;
    int column_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
};

} // namespace shoulu
