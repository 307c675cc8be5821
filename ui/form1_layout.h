#pragma once

#include <QListWidget>
#include <QStatusBar>

#include <array>
#include <functional>

class QLabel;

namespace shoulu {

// List1: reports presses and double-clicks, which QListWidget has no signals for where no item
// is (an empty queue is exactly where the import must start).
class QueueList : public QListWidget {
public:
    using QListWidget::QListWidget;

    std::function<void()> onMouseDown;
    std::function<void()> onDoubleClick;

protected:
    void mousePressEvent(QMouseEvent *event) override {
        QListWidget::mousePressEvent(event);
        if (onMouseDown) {
            onMouseDown();
        }
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override {
        QListWidget::mouseDoubleClickEvent(event);
        if (onDoubleClick) {
            onDoubleClick();
        }
    }
};

// s1: four sunken panels with 2 px between them; panel 2 takes what the others leave.
class PanelStatusBar : public QStatusBar {
public:
    static constexpr int kFixedWidth = 96;
    static constexpr int kGap = 2;

    explicit PanelStatusBar(QWidget *parent);

    std::array<QLabel *, 4> panels{};

protected:
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace shoulu
