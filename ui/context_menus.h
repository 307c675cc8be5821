#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QAction;
class QDialog;
class QListWidget;
class QMenu;
class QTableWidget;

namespace shoulu {

class Form1;
class WindowOps;

// The right-click menus and standard shortcuts of the queue (List1) and the results table
// (Listview1), and the failed-domains dialog they open. Everything comes through these: the
// window's own controls, captions and texts stay as they are. Its owner destroys it before
// the widgets.
class ContextMenus : public QObject {
    Q_OBJECT

public:
    using ExecModal = std::function<int(QDialog &)>;

    ContextMenus(QListWidget &list1, QTableWidget &listview1, WindowOps &window, Form1 &form,
                 ExecModal execModal);

    QMenu *queueMenu() const { return queueMenu_; }
    QMenu *resultsMenu() const { return resultsMenu_; }

    // Pops a menu up at a point of the widget's viewport, as a right-click there does; the
    // queue's opens on a non-empty queue only.
    void openQueueMenu(QPoint pos);
    void openResultsMenu(QPoint pos);
    void showFailedDialog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *addAction(QMenu *menu, const char *name, const QString &text,
                       std::function<void()> run);
    void updateResultsMenu();

    QListWidget &list1_;
    QTableWidget &listview1_;
    WindowOps &window_;
    Form1 &form_;
    ExecModal execModal_;
    QMenu *queueMenu_;
    QMenu *resultsMenu_;
    QAction *copyAction_ = nullptr;
    QAction *failedAction_ = nullptr;
    QAction *exportFailedAction_ = nullptr;
    // Set by a mouse press on the empty queue, which starts the import: the menu that the same
    // click may ask for afterwards does not open.
    bool pressStartedImport_ = false;
};

} // namespace shoulu
