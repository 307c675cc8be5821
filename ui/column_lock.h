#pragma once

class QHeaderView;

namespace shoulu {

// Fixes the header's current section widths for good: neither a divider drag nor a divider
// double-click (fit to contents) can change them.
void LockColumnWidths(QHeaderView &header);

} // namespace shoulu
