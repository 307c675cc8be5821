#include "ui/results_sort.h"

#include "core/result_order.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QSet>
#include <QTableWidget>

#include <utility>

namespace shoulu {

ResultsSorting::ResultsSorting(QTableWidget &table, std::function<bool()> allowed)
    : table_(table)
    , allowed_(std::move(allowed)) {
    QHeaderView *header = table_.horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &ResultsSorting::sortBy);
    QAbstractItemModel *model = table_.model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &ResultsSorting::forget);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ResultsSorting::forget);
    connect(model, &QAbstractItemModel::modelReset, this, &ResultsSorting::forget);
}

void ResultsSorting::forget() {
    column_ = -1;
    table_.horizontalHeader()->setSortIndicatorShown(false);
}

void ResultsSorting::sortBy(int column) {
    QHeaderView *header = table_.horizontalHeader();
    if (!allowed_()) {
        // The header may have moved its own indicator on the click; it stays hidden.
        header->setSortIndicatorShown(false);
        return;
    }
    order_ = column == column_ && order_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                               : Qt::AscendingOrder;
    column_ = column;
    const int rows = table_.rowCount();
    const int columns = table_.columnCount();
    QStringList cells;
    QSet<QTableWidgetItem *> selected;
    QList<QList<QTableWidgetItem *>> items(rows);
    for (int row = 0; row < rows; ++row) {
        const QTableWidgetItem *cell = table_.item(row, column);
        cells.append(cell != nullptr ? cell->text() : QString());
        if (table_.selectionModel()->isRowSelected(row, {})) {
            selected.insert(table_.item(row, 0));
        }
        for (int c = 0; c < columns; ++c) {
            items[row].append(table_.takeItem(row, c));
        }
    }
    // Items move between rows; the selection follows them.
    QItemSelection selection;
    const QList<int> order = SortedRowOrder(cells, column, order_);
    for (int row = 0; row < rows; ++row) {
        const QList<QTableWidgetItem *> &moved = items[order[row]];
        for (int c = 0; c < columns; ++c) {
            table_.setItem(row, c, moved[c]);
        }
        if (moved.value(0) != nullptr && selected.contains(moved[0])) {
            selection.select(table_.model()->index(row, 0),
                             table_.model()->index(row, columns - 1));
        }
    }
    table_.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    header->setSortIndicator(column_, order_);
    header->setSortIndicatorShown(true);
}

} // namespace shoulu
