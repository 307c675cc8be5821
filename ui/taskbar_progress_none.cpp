// The progress where the system offers no taskbar or dock to show it on: nothing.
#include "ui/taskbar_progress.h"

namespace shoulu {

struct TaskbarProgress::Platform {};

TaskbarProgress::TaskbarProgress(QWidget & /*window*/) {}

TaskbarProgress::~TaskbarProgress() = default;

void TaskbarProgress::apply() {}

} // namespace shoulu
