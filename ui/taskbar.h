#pragma once

#include "shoulu_config.h"

#include <memory>

class QWidget;

namespace shoulu {

// The desktop entry the program is installed under: docks match the window to it, and the
// progress on the dock's icon names it.
inline constexpr char kDesktopFileName[] = SHOULU_APP_ID;

// Clears the window's own icon, so that its title bar shows none of the program's, while the
// taskbar button and Alt+Tab show the program's icon. On Windows that icon reaches every window
// through its class, so the title bar is given the system's generic icon, as it has always shown
// there; elsewhere the window merely has no icon set.
void ClearTitleBarIcon(QWidget &window);

// A batch's progress outside the window: on Windows the taskbar button's green bar
// (ITaskbarList3, once the shell has made the button), on Linux the bar a dock draws over the
// program's icon (the Unity launcher entry signal on the session bus). Without a taskbar or a
// session bus, and elsewhere, showing it does nothing. Taken away when it goes. Used from the
// user-interface thread only.
class TaskbarProgress {
public:
    explicit TaskbarProgress(QWidget &window);
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress &) = delete;
    TaskbarProgress &operator=(const TaskbarProgress &) = delete;

    // reached of total entries; a total of 0 (or less) takes it away. Showing again what is
    // shown tells the system nothing.
    void show(int reached, int total);

private:
    // Tells the platform what is shown now; each platform's file has its own.
    void apply();

    int reached_ = 0;
    int total_ = 0;
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

} // namespace shoulu
