// The main window at work: the queue's events, the results table's locks, closing, the
// website buttons, the version check through the real Timer2, the skin and the translations.
#include "tests/support/temp_files.h"
#include "tests/ui/window_harness.h"
#include "ui/context_menus.h"
#include "ui/look.h"
#include "ui/skin.h"
#include "ui/translations.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

using shoulu::ButtonId;
using shoulu::testing::Press;
using shoulu::testing::TestWindow;

namespace {

const QString kWelcome = QStringLiteral("当前为最新版本,欢迎使用澜序软件..");

void SendMouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QStringList Entries(const QListWidget *list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries.append(list->item(i)->text());
    }
    return entries;
}

void RightClick(QAbstractScrollArea *area, QPoint at) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, area->viewport()->mapToGlobal(at));
    QApplication::sendEvent(area->viewport(), &event);
}

// The menu's items as shown, "-" after a disabled one and "|" for a separator; then it closes.
QStringList MenuTexts(QMenu *menu) {
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        texts.append(action->isSeparator()
                         ? QStringLiteral("|")
                         : action->text() +
                               (action->isEnabled() ? QString() : QStringLiteral("-")));
    }
    menu->hide();
    return texts;
}

// Sends a drag event of mime at pos of the window, offering actions; whether it was taken.
template <typename Event>
bool SendDrag(QWidget *window, const QMimeData &mime, QPoint pos,
              Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    Event event(pos, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
    return event.isAccepted();
}

QString QtSettingsFile() {
    return QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
}

} // namespace

class TestWindowBehaviour : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWindow> window;
    QListWidget *list = nullptr;
    QTableWidget *table = nullptr;

    QString panel(int n) const {
        return window->findChild<QLabel *>(QStringLiteral("s1Panel%1").arg(n))->text();
    }

    void fillQueue(const QStringList &entries) {
        for (const QString &entry : entries) {
            window->appendQueueEntry(entry);
        }
    }

    void clickEntry(int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    // A batch over two answered entries, one the service has no data for and one skipped.
    void runSampleBatch() {
        window->logic().init();
        window->missing = {"gone.com"};
        fillQueue({"b.com", "bad.io", "gone.com", "a.com"});
        QTest::mouseClick(window->control<QPushButton>("Command2"), Qt::LeftButton);
        while (window->logic().batchRunning()) {
            window->logic().Timer1_Timer();
        }
        QCOMPARE(table->rowCount(), 2);
    }

    QAction *action(const char *name) const {
        return window->findChild<QAction *>(QLatin1String(name));
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true); // the user's own settings stay out of it
        shoulu::InstallChineseTranslations(*QCoreApplication::instance());
    }

    void init() {
        window = std::make_unique<TestWindow>();
        window->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        list = window->control<QListWidget>("List1");
        table = window->control<QTableWidget>("Listview1");
    }

    void cleanup() {
        QVERIFY2(window->script.unanswered.isEmpty(),
                 qPrintable(window->script.unanswered.join(", ")));
        window.reset();
    }

    void selectingRunsTheHandlerExactlyOnce() {
        fillQueue({"a.com", "b.com", "c.com"});
        // With the gate on, each run of List1_Click is one query: cx selects the last entry.
        window->logic().cx();
        QCOMPARE(window->getUrls.size(), 1);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(window->selectedIndex(), 2);
        // Selecting the entry that is already selected still runs the handler, once.
        window->logic().cx();
        QCOMPARE(window->getUrls.size(), 2);
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("c.com"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("1200 / 34"));

        // Out of range: no selection change, no handler.
        list->setToolTip(QStringLiteral("unchanged"));
        window->logic().select(3);
        window->logic().select(-1);
        QCOMPARE(window->selectedIndex(), 2);
        QCOMPARE(list->toolTip(), QStringLiteral("unchanged"));

        // A click of the user runs it too.
        clickEntry(0);
        QCOMPARE(window->selectedIndex(), 0);
        QCOMPARE(list->toolTip(), QStringLiteral("双击列表删除:a.com"));
        window->setQueueToolTip(QStringLiteral("a<b>x</b>.com")); // shown as typed
        QVERIFY(list->toolTip().contains(QStringLiteral("a&lt;b&gt;x&lt;/b&gt;.com")));
        QCOMPARE(window->getUrls.size(), 2);
    }

    void removingRaisesNoSelectionAndLeavesNoneSelected() {
        fillQueue({"a.com", "b.com", "c.com", "d.com"});
        window->logic().select(2);
        list->setToolTip(QStringLiteral("kept"));
        window->removeQueueEntry(0);
        QCOMPARE(window->selectedIndex(), 1);
        QCOMPARE(window->queueEntry(1), QStringLiteral("c.com"));
        window->removeQueueEntry(1);
        QCOMPARE(window->selectedIndex(), -1);
        QCOMPARE(Entries(list), (QStringList{"b.com", "d.com"}));
        QCOMPARE(list->toolTip(), QStringLiteral("kept"));
        window->removeQueueEntry(5);
        QCOMPARE(window->queueCount(), 2);
    }

    void doubleClickRemovesTheEntryAndKeepsTheTable() {
        fillQueue({"a.com", "b.com", "c.com", "d.com", "e.com"});
        window->appendRow();
        window->setRowText(0, QStringLiteral("c.com"));
        const QPoint third = list->visualItemRect(list->item(2)).center();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third);
        QCOMPARE(Entries(list), (QStringList{"a.com", "b.com", "d.com", "e.com"}));
        QCOMPARE(window->selectedIndex(), -1);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("c.com"));
        QVERIFY(window->boxes.isEmpty());
    }

    void mouseDownImportsOnAnEmptyQueueOnly_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }

    void mouseDownImportsOnAnEmptyQueueOnly() {
        QFETCH(Qt::MouseButton, button);
        QFile::remove(QtSettingsFile());
        QTemporaryDir dir;
        const QString path =
            shoulu::testing::WriteTempFile(dir, "list.txt", "http://www.a.com\r\nb.com\r\n\r\n");

        // Cancelled: still empty, and the next press asks again.
        window->script.answers = {Press(QMessageBox::Ok), shoulu::testing::CancelFile{}};
        QTest::mousePress(list->viewport(), button, {}, QPoint(20, 20));
        QTest::mouseRelease(list->viewport(), button, {}, QPoint(20, 20));
        QCOMPARE(window->boxes.size(), 1);
        QCOMPARE(window->queueCount(), 0);

        QString title;
        QStringList filters;
        QString folder;
        window->script.answers = {Press(QMessageBox::Ok),
                                  shoulu::testing::DialogBody([&](QDialog &dialog) {
                                      auto &files = static_cast<QFileDialog &>(dialog);
                                      title = files.windowTitle();
                                      filters = files.nameFilters();
                                      folder = files.directory().absolutePath();
                                      shoulu::testing::ChooseIn(files, path);
                                  })};
        QTest::mousePress(list->viewport(), button, {}, QPoint(20, 20));
        QTest::mouseRelease(list->viewport(), button, {}, QPoint(20, 20));
        QCOMPARE(window->boxes.size(), 2);
        QCOMPARE(window->boxes[1].title, QStringLiteral("提示"));
        QCOMPARE(title, QStringLiteral("请选择要加载的文件"));
        QCOMPARE(filters, QStringList{QStringLiteral("文本文件 (*.txt)")});
        QCOMPARE(folder, QDir(QCoreApplication::applicationDirPath()).absolutePath());
        // The program keeps no files: Qt's dialog state is not left in the user's settings.
        QVERIFY(!QFile::exists(QtSettingsFile()));
        QCOMPARE(Entries(list), (QStringList{"a.com", "b.com"}));
        QCOMPARE(window->selectedIndex(), 1);
        QCOMPARE(panel(2), QStringLiteral("列表加载成功!共2个域名"));

        // With entries, a press only selects.
        QTest::mousePress(list->viewport(), button, {},
                          list->visualItemRect(list->item(0)).center());
        QTest::mouseRelease(list->viewport(), button, {},
                            list->visualItemRect(list->item(0)).center());
        QCOMPARE(window->boxes.size(), 2);
    }

    void dividerDragAndDoubleClickKeepColumnWidths() {
        QHeaderView *header = table->horizontalHeader();
        QWidget *target = header->viewport();
        const QList<int> before{167, 213, 213, 213};
        window->appendRow();
        window->setRowText(0, QStringLiteral("a-very-long-domain-name-that-would-not-fit.com"));
        for (int section = 0; section < 4; ++section) {
            const int divider =
                header->sectionViewportPosition(section) + header->sectionSize(section) - 1;
            const QPoint at(divider, header->height() / 2);
            SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
            SendMouse(target, QEvent::MouseMove, at + QPoint(60, 0), Qt::NoButton, Qt::LeftButton);
            SendMouse(target, QEvent::MouseButtonRelease, at + QPoint(60, 0), Qt::LeftButton,
                      Qt::NoButton);
            SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
            SendMouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
            SendMouse(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
            SendMouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        }
        // Fitting to contents from code is undone as well.
        table->resizeColumnToContents(0);
        for (int section = 0; section < 4; ++section) {
            QCOMPARE(table->columnWidth(section), before[section]);
        }
    }

    void rowsCannotBeEditedInPlace() {
        const int row = window->appendRow();
        window->setRowText(row, QStringLiteral("a.com"));
        window->setRowSubItem(row, 1, QStringLiteral("1 / 2"));
        const QPoint cell = table->visualItemRect(table->item(row, 0)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::keyClick(table, Qt::Key_F2);
        table->editItem(table->item(row, 0));
        QVERIFY(table->findChildren<QLineEdit *>().isEmpty());
        QVERIFY(!table->isPersistentEditorOpen(table->model()->index(row, 0)));
        QCOMPARE(table->item(row, 0)->text(), QStringLiteral("a.com"));
    }

    void selectionIsHiddenWithoutFocus() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const int row = window->appendRow();
        window->setRowText(row, QStringLiteral("a.com"));
        const QRect cell = table->visualItemRect(table->item(row, 1));
        const QPoint probe = cell.topLeft() + QPoint(cell.width() - 5, cell.height() / 2);
        const QColor highlight = table->palette().color(QPalette::Active, QPalette::Highlight);

        table->setFocus();
        table->selectRow(row);
        QTRY_VERIFY(table->hasFocus());
        QCOMPARE(table->viewport()->grab().toImage().pixelColor(probe), highlight);

        window->control<QWidget>("Command1")->setFocus();
        QTRY_VERIFY(!table->hasFocus());
        QVERIFY(table->selectionModel()->isRowSelected(row, {}));
        QVERIFY(table->viewport()->grab().toImage().pixelColor(probe) != highlight);
    }

    void closeRequestsAskFirst_data() {
        QTest::addColumn<bool>("fromButton");
        QTest::newRow("title bar") << false;
        QTest::newRow("Command5") << true;
    }

    void closeRequestsAskFirst() {
        QFETCH(bool, fromButton);
        auto request = [&] {
            if (fromButton) {
                QTest::mouseClick(window->control<QPushButton>("Command5"), Qt::LeftButton);
            } else {
                window->close();
            }
        };
        fillQueue({"a.com"});
        window->script.answers = {Press(QMessageBox::No)};
        request();
        QCOMPARE(window->endCalls, 0);
        QVERIFY(window->isVisible());
        QCOMPARE(window->queueCount(), 1);

        window->script.answers = {Press(QMessageBox::Yes)};
        request();
        QCOMPARE(window->endCalls, 1);
        QCOMPARE(window->boxes.size(), 2);
        for (const auto &box : window->boxes) {
            QCOMPARE(box.text, QStringLiteral("确定退出软件吗?"));
            QCOMPARE(box.title, QStringLiteral("提示"));
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box.format, Qt::PlainText);
            // Qt's own Chinese texts, whatever the system locale.
            QVERIFY2(box.yesText.contains(QStringLiteral("是")), qPrintable(box.yesText));
            QVERIFY2(box.noText.contains(QStringLiteral("否")), qPrintable(box.noText));
        }
    }

    void websiteButtonsOpenTheirHomePages() {
        QTest::mouseClick(window->control<QPushButton>("Command3"), Qt::LeftButton);
        QTest::mouseClick(window->control<QPushButton>("Command4"), Qt::LeftButton);
        QCOMPARE(window->browserUrls, (QStringList{"http://studio.test/", "http://company.test/"}));
        QCOMPARE(window->endCalls, 0);
    }

    void batchButtonWaitsForTheVersionCheck() {
        auto *command2 = window->control<QPushButton>("Command2");
        fillQueue({"a.com"});
        QTest::mouseClick(command2, Qt::LeftButton);
        QVERIFY(!command2->isEnabled());
        QCOMPARE(command2->text(), QStringLiteral("批量查询"));
        QVERIFY(window->getUrls.isEmpty());

        // The real Timer2 fires about a second after creation.
        QTRY_COMPARE_WITH_TIMEOUT(window->posts.size(), 1, 3000);
        QCOMPARE(window->posts[0].first,
                 QStringLiteral("https://version.test/index.php/Index/soft_version"));
        QCOMPARE(window->posts[0].second, QStringLiteral("sn=tandri"));
        QVERIFY(command2->isEnabled());
        QCOMPARE(panel(2), kWelcome);
        QVERIFY(!window->control<QTimer>("Timer2")->isActive());
        QVERIFY(window->boxes.isEmpty());
        QTest::mouseClick(command2, Qt::LeftButton);
        QCOMPARE(command2->text(), QStringLiteral("停止查询"));
        QCOMPARE(window->getUrls.size(), 1);
        QVERIFY(window->awake);
        QTest::mouseClick(command2, Qt::LeftButton);
        QVERIFY(!window->awake);
    }

    void unreachableEndsAndTicksBehindTheBoxStartNothing() {
        window->versionAnswer.clear();
        window->script.answers = {shoulu::testing::DialogBody([](QDialog &dialog) {
            // Timer2 keeps ticking while the box is open.
            QTest::qWait(1300);
            static_cast<QMessageBox &>(dialog).button(QMessageBox::Ok)->click();
        })};
        QTRY_COMPARE_WITH_TIMEOUT(window->endCalls, 1, 5000);
        QCOMPARE(window->posts.size(), 1);
        QCOMPARE(window->boxes.size(), 1);
        QCOMPARE(window->boxes[0].text,
                 QStringLiteral("抱歉，软件需要联网使用，请检查您的网络后重启软件"));
        QCOMPARE(window->boxes[0].buttons, QMessageBox::Ok);
        QVERIFY(!window->control<QPushButton>("Command2")->isEnabled());
        QTest::qWait(1100);
        QCOMPARE(window->posts.size(), 1);
    }

    void resultsMenuCountsFailedQueriesOnly() {
        runSampleBatch();
        RightClick(table, QPoint(20, 40));
        QVERIFY(window->contextMenus().resultsMenu()->isVisible());
        QCOMPARE(MenuTexts(window->contextMenus().resultsMenu()),
                 (QStringList{"复制-", "全选", "复制全部(含表头)", "|", "导出CSV...", "|",
                              "未查到的域名(1)...", "导出未查到的域名..."}));
    }

    void tableShortcutsCopyRowsAndExportWritesThem() {
        runSampleBatch();
        table->setFocus();
        QTest::keySequence(table, QKeySequence::SelectAll);
        QTest::keySequence(table, QKeySequence::Copy);
        QCOMPARE(
            QGuiApplication::clipboard()->text(),
            QStringLiteral("b.com\t1200\t34\t560\t7\t89\t0\na.com\t1200\t34\t560\t7\t89\t0\n"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        window->script.answers = {shoulu::testing::ChooseFile{path}};
        action("exportResults")->trigger();
        QVERIFY(shoulu::testing::ReadFileBytes(path).startsWith("\xEF\xBB\xBF域名,百度收录"));
    }

    void failedDialogListsFailuresFirstAndRechecksThem() {
        runSampleBatch();
        // Copy, then 补查 keeps the rows and queries only the failed entry, not the skipped one.
        QString copied;
        window->script.answers = {shoulu::testing::OnDialog([&](QDialog &dialog) {
            QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("heading"))->text(),
                     QStringLiteral("以下1个域名未查到结果，另有1个域名不正确，未查询："));
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("copyButton")),
                              Qt::LeftButton);
            copied = QGuiApplication::clipboard()->text();
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("recheckButton")),
                              Qt::LeftButton);
        })};
        action("showFailed")->trigger();
        QCOMPARE(copied, QStringLiteral("gone.com\t暂无数据\nbad.io\t域名不正确\n"));
        QCOMPARE(Entries(list), QStringList{"gone.com"});
        QCOMPARE(table->rowCount(), 2);
    }

    void stopWithNothingFailedOffersTheRest() {
        window->logic().init();
        fillQueue({"b.com", "bad.io", "gone.com", "a.com"});
        auto *command2 = window->control<QPushButton>("Command2");
        QTest::mouseClick(command2, Qt::LeftButton);
        QTest::mouseClick(command2, Qt::LeftButton); // stopped after b.com
        RightClick(table, QPoint(20, 40));
        QCOMPARE(MenuTexts(window->contextMenus().resultsMenu()).mid(6),
                 (QStringList{"未查到的域名(0)...", "导出未查到的域名..."}));
        QString heading;
        window->script.answers = {shoulu::testing::OnDialog([&](QDialog &dialog) {
            heading = dialog.findChild<QLabel *>(QStringLiteral("heading"))->text();
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("recheckButton")),
                              Qt::LeftButton);
        })};
        action("showFailed")->trigger();
        QCOMPARE(heading,
                 QStringLiteral("以下0个域名未查到结果，另有2个域名未查询，另有1个域名不正确，"
                                "未查询："));
        QCOMPARE(Entries(list), (QStringList{"gone.com", "a.com"}));
    }

    void queueMenuPastesDedupesAndClears() {
        fillQueue({"a.com"});
        RightClick(list, QPoint(20, 10));
        QCOMPARE(MenuTexts(window->contextMenus().queueMenu()),
                 (QStringList{"粘贴域名", "去除重复", "清空列表"}));
        window->clearQueue();
        RightClick(list, QPoint(20, 10));
        QVERIFY(!window->contextMenus().queueMenu()->isVisible());
        // Ctrl+V pastes into an empty queue too.
        QGuiApplication::clipboard()->setText(QStringLiteral("www.c.com\r\nc.com\n"));
        list->setFocus();
        QTest::keySequence(list, QKeySequence::Paste);
        QCOMPARE(Entries(list), (QStringList{"c.com", "c.com"}));
        action("removeDuplicates")->trigger();
        QCOMPARE(Entries(list), QStringList{"c.com"});
        window->script.answers = {Press(QMessageBox::Yes)};
        action("clearQueue")->trigger();
        QCOMPARE(window->queueCount(), 0);
        QCOMPARE(window->boxes.last().title, QStringLiteral("提示"));
    }

    void dropsAreTakenWhereTheyApply() {
        // No control takes a drop itself: one on a control comes to the window.
        for (const QWidget *child : window->findChildren<QWidget *>()) {
            QVERIFY2(!child->acceptDrops(), qPrintable(child->objectName()));
        }
        QTemporaryDir dir;
        QMimeData file;
        file.setUrls({QUrl::fromLocalFile(
            shoulu::testing::WriteTempFile(dir, "list.txt", "a.com\r\nb.com\r\n"))});
        QMimeData text;
        text.setText(QStringLiteral("www.c.com\r\n"));
        const QPoint onTable(500, 300);
        const QPoint onQueue = list->geometry().center();
        // Text enters over the table: taken as it may still reach the queue, refused there.
        QVERIFY(SendDrag<QDragEnterEvent>(window.get(), text, onTable));
        QVERIFY(!SendDrag<QDragMoveEvent>(window.get(), text, onTable));
        QVERIFY(SendDrag<QDragMoveEvent>(window.get(), text, onQueue));
        QVERIFY(!SendDrag<QDragMoveEvent>(window.get(), text, onQueue, Qt::MoveAction));
        QVERIFY(SendDrag<QDragEnterEvent>(window.get(), file, onTable));
        QVERIFY(SendDrag<QDropEvent>(window.get(), file, onTable));
        QTRY_COMPARE(Entries(list), (QStringList{"a.com", "b.com"}));
        QVERIFY(SendDrag<QDragEnterEvent>(window.get(), text, onQueue));
        QVERIFY(SendDrag<QDropEvent>(window.get(), text, onQueue));
        QTRY_COMPARE(Entries(list), (QStringList{"a.com", "b.com", "c.com"}));
        QVERIFY(window->boxes.isEmpty());
    }

    void headingClickSortsWhileIdle() {
        const QStringList counts{"9 / 1", "12,345 / 0", "- / -", "100 / 2"};
        for (int i = 0; i < counts.size(); ++i) {
            const int row = window->appendRow();
            window->setRowText(row, QStringLiteral("d%1.com").arg(3 - i));
            window->setRowSubItem(row, 1, counts[i]);
        }
        auto column = [this](int c) {
            QStringList cells;
            for (int row = 0; row < table->rowCount(); ++row) {
                cells.append(table->item(row, c)->text());
            }
            return cells;
        };
        QHeaderView *header = table->horizontalHeader();
        auto clickHeading = [header](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 20, 5));
        };
        table->selectRow(1);
        clickHeading(1);
        QCOMPARE(column(1), (QStringList{"9 / 1", "100 / 2", "12,345 / 0", "- / -"}));
        QCOMPARE(window->selectedRows(), QList<int>{2}); // the selection moved with its row
        clickHeading(1);
        QCOMPARE(column(1), (QStringList{"12,345 / 0", "100 / 2", "9 / 1", "- / -"}));
        clickHeading(0);
        QCOMPARE(column(0), (QStringList{"d0.com", "d1.com", "d2.com", "d3.com"}));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(table->columnWidth(0), 167);
        QCOMPARE(table->columnWidth(1), 213);

        // A batch start clears the table and turns sorting off; rows come in queue order.
        window->logic().init();
        fillQueue({"z.com", "a.com"});
        window->logic().Command2_Click();
        QVERIFY(!header->isSortIndicatorShown());
        clickHeading(0);
        window->logic().Timer1_Timer();
        QCOMPARE(column(0), (QStringList{"z.com", "a.com"}));
        QVERIFY(!header->isSortIndicatorShown());
    }

    void skinIsAppliedOnlyWhenItsFileExists() {
        QTemporaryDir dir;
        QCOMPARE(shoulu::SkinH_AttachEx(dir.filePath(QStringLiteral("skinh.she")), QString()), 0);
        QVERIFY(qApp->styleSheet().isEmpty());

        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &,
                                      const QString &message) { warnings.append(message); });
        QCOMPARE(shoulu::SkinH_AttachEx(QStringLiteral(SHOULU_DEFAULT_SKIN), QString()), 1);
        auto skinned = std::make_unique<TestWindow>();
        skinned->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(skinned.get()));
        qInstallMessageHandler(previous);
        const bool applied = !qApp->styleSheet().isEmpty();
        qApp->setStyleSheet(QString());
        QVERIFY(applied);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
        // The skin colours; it moves nothing and keeps the list font.
        QCOMPARE(skinned->control<QWidget>("Listview1")->geometry(), QRect(192, 16, 841, 545));
        QCOMPARE(skinned->control<QWidget>("List1")->font().pointSizeF(), 10.5);
        QCOMPARE(QFontInfo(skinned->control<QWidget>("Label2")->font()).family(),
                 QFontInfo(shoulu::ListFont()).family());
    }
};

QTEST_MAIN(TestWindowBehaviour)
#include "test_window_behaviour.moc"
