#include "ui/taskbar.h"

#include <algorithm>

namespace shoulu {

void TaskbarProgress::show(int reached, int total) {
    total = std::max(total, 0);
    reached = total == 0 ? 0 : std::clamp(reached, 0, total);
    if (reached == reached_ && total == total_) {
        return;
    }
    reached_ = reached;
    total_ = total;
    apply();
}

} // namespace shoulu
