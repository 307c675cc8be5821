#include "ui/column_lock.h"

#include <QHeaderView>
#include <QList>

namespace shoulu {

void LockColumnWidths(QHeaderView &header) {
    QList<int> widths;
    for (int section = 0; section < header.count(); ++section) {
        widths.append(header.sectionSize(section));
    }
    // Fixed sections offer no divider to drag and ignore double-clicks on it.
    header.setSectionResizeMode(QHeaderView::Fixed);
    // Anything that still resizes a section (fit to contents, a style) is undone.
    QObject::connect(&header, &QHeaderView::sectionResized, &header,
                     [&header, widths](int section, int, int newSize) {
                         if (section >= 0 && section < widths.size() &&
                             newSize != widths[section]) {
                             header.resizeSection(section, widths[section]);
                         }
                     });
}

} // namespace shoulu
