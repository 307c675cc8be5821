#include "ui/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace shoulu {

void CentreFrameOnScreen(QWidget &window) {
    // The native window exists from here on, so the frame around the client area is known where
    // the platform tells it before mapping.
    window.winId();
    const QScreen *screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    QMargins margins;
    if (const QWindow *handle = window.windowHandle()) {
        margins = handle->frameMargins();
    }
    QRect frame(QPoint(), window.size().grownBy(margins));
    frame.moveCenter(screen->geometry().center());
    window.move(frame.topLeft());
}

} // namespace shoulu
