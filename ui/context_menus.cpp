#include "ui/context_menus.h"

#include "core/form1.h"
#include "core/queue_tools.h"
#include "core/results_export.h"
#include "core/window_ops.h"
#include "ui/failed_dialog.h"

#include <QAction>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>

#include <utility>

namespace shoulu {

namespace {

QString FailedCaption(qsizetype count) {
    return QStringLiteral("未查到的域名(%1)...").arg(count);
}

} // namespace

ContextMenus::ContextMenus(QListWidget &list1, QTableWidget &listview1, WindowOps &window,
                           Form1 &form, ExecModal execModal)
    : list1_(list1)
    , listview1_(listview1)
    , window_(window)
    , form_(form)
    , execModal_(std::move(execModal))
    , queueMenu_(new QMenu(&list1))
    , resultsMenu_(new QMenu(&listview1)) {
    queueMenu_->setObjectName(QStringLiteral("List1Menu"));
    resultsMenu_->setObjectName(QStringLiteral("Listview1Menu"));

    copyAction_ = addAction(resultsMenu_, "copyRows", QStringLiteral("复制"),
                            [this] { CopySelectedResults(window_); });
    copyAction_->setShortcut(QKeySequence::Copy);
    QAction *selectAll = addAction(resultsMenu_, "selectAllRows", QStringLiteral("全选"),
                                   [this] { listview1_.selectAll(); });
    selectAll->setShortcut(QKeySequence::SelectAll);
    addAction(resultsMenu_, "copyAllRows", QStringLiteral("复制全部(含表头)"), [this] {
        if (form_.hasResults()) {
            CopyAllResults(window_);
        }
    });
    resultsMenu_->addSeparator();
    addAction(resultsMenu_, "exportResults", QStringLiteral("导出CSV..."), [this] {
        if (form_.hasResults()) {
            ExportResults(window_);
        }
    });
    resultsMenu_->addSeparator();
    failedAction_ = addAction(resultsMenu_, "showFailed", FailedCaption(0), [this] {
        if (!form_.ledger().isEmpty()) {
            showFailedDialog();
        }
    });
    exportFailedAction_ =
        addAction(resultsMenu_, "exportFailed", QStringLiteral("导出未查到的域名..."), [this] {
            if (!form_.ledger().isEmpty()) {
                ExportFailed(window_, form_.ledger());
            }
        });

    QAction *paste = addAction(queueMenu_, "pasteDomains", QStringLiteral("粘贴域名"), [this] {
        if (form_.queueEditable()) {
            PasteDomains(window_);
        }
    });
    paste->setShortcut(QKeySequence::Paste);
    addAction(queueMenu_, "removeDuplicates", QStringLiteral("去除重复"), [this] {
        if (form_.queueEditable()) {
            RemoveDuplicateEntries(window_);
        }
    });
    addAction(queueMenu_, "clearQueue", QStringLiteral("清空列表"), [this] {
        if (form_.queueEditable()) {
            ClearQueueAsked(window_);
        }
    });

    // A menu greys out what does not apply at the moment it opens; afterwards every item is
    // enabled again, so the shortcuts work whenever their widget has the focus.
    for (QMenu *menu : {queueMenu_, resultsMenu_}) {
        connect(menu, &QMenu::aboutToHide, this, [menu] {
            for (QAction *action : menu->actions()) {
                action->setEnabled(true);
            }
        });
    }
    for (QAction *action : resultsMenu_->actions()) {
        if (!action->isSeparator()) {
            listview1_.addAction(action);
        }
    }
    list1_.addActions(queueMenu_->actions());
    listview1_.setContextMenuPolicy(Qt::CustomContextMenu);
    list1_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&listview1_, &QWidget::customContextMenuRequested, this,
            &ContextMenus::openResultsMenu);
    connect(&list1_, &QWidget::customContextMenuRequested, this, &ContextMenus::openQueueMenu);
    list1_.installEventFilter(this);
    list1_.viewport()->installEventFilter(this);
}

QAction *ContextMenus::addAction(QMenu *menu, const char *name, const QString &text,
                                 std::function<void()> run) {
    auto *action = new QAction(text, menu);
    action->setObjectName(QLatin1String(name));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setShortcutVisibleInContextMenu(true);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    menu->addAction(action);
    return action;
}

bool ContextMenus::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress && watched == list1_.viewport()) {
        pressStartedImport_ = list1_.count() == 0;
    } else if (event->type() == QEvent::KeyPress) {
        pressStartedImport_ = false;
    }
    return QObject::eventFilter(watched, event);
}

void ContextMenus::openQueueMenu(QPoint pos) {
    const bool fromImport = std::exchange(pressStartedImport_, false);
    if (fromImport || list1_.count() == 0) {
        return;
    }
    const bool editable = form_.queueEditable();
    for (QAction *action : queueMenu_->actions()) {
        action->setEnabled(editable);
    }
    queueMenu_->popup(list1_.viewport()->mapToGlobal(pos));
}

void ContextMenus::updateResultsMenu() {
    const bool hasRows = form_.hasResults();
    const BatchLedger &ledger = form_.ledger();
    for (QAction *action : resultsMenu_->actions()) {
        action->setEnabled(hasRows);
    }
    copyAction_->setEnabled(!window_.selectedRows().isEmpty());
    // The caption counts failed queries only, as the completion text does; the item opens
    // whenever the batch left anything without an answer, failed or not.
    const BatchLedger::Tally tally = ledger.tally();
    failedAction_->setText(FailedCaption(tally.failed));
    failedAction_->setEnabled(tally.listed() > 0);
    exportFailedAction_->setEnabled(tally.listed() > 0);
}

void ContextMenus::openResultsMenu(QPoint pos) {
    updateResultsMenu();
    resultsMenu_->popup(listview1_.viewport()->mapToGlobal(pos));
}

void ContextMenus::showFailedDialog() {
    // A batch may go on while the dialog is open; it shows, and copies, what it opened with.
    const BatchLedger shown = form_.ledger();
    FailedDialog dialog(shown, form_.canRecheck(), listview1_.window());
    dialog.onCopy = [this, &shown] { CopyFailed(window_, shown); };
    if (execModal_(dialog) == QDialog::Accepted) {
        form_.recheckFailed();
    }
}

} // namespace shoulu
