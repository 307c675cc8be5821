// The progress where the system offers no taskbar or dock to show it on: nothing.
#include "ui/taskbar.h"

#include <QIcon>
#include <QWidget>

namespace shoulu {

void ClearTitleBarIcon(QWidget &window) {
    window.setWindowIcon(QIcon());
}

struct TaskbarProgress::Platform {};

TaskbarProgress::TaskbarProgress(QWidget & /*window*/) {}

TaskbarProgress::~TaskbarProgress() = default;

void TaskbarProgress::apply() {}

} // namespace shoulu
