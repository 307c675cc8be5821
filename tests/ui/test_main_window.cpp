// The main window as created and loaded: every control where, what and how it should be.
#include "tests/ui/window_harness.h"
#include "ui/look.h"
#include "ui/translations.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

using shoulu::testing::TestWindow;

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWindow> window;

private slots:
    void initTestCase() { shoulu::InstallChineseTranslations(*QCoreApplication::instance()); }
    void init() { window = std::make_unique<TestWindow>(); }
    void cleanup() { window.reset(); }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("Command1") << "Command1"
                                  << "QPushButton" << QRect(8, 528, 81, 41) << "导入域名" << true;
        QTest::newRow("Listview1")
            << "Listview1"
            << "QTableWidget" << QRect(192, 16, 841, 545) << QString() << true;
        QTest::newRow("List1") << "List1"
                               << "QListWidget" << QRect(8, 16, 177, 504) << QString() << true;
        QTest::newRow("Command2") << "Command2"
                                  << "QPushButton" << QRect(8, 576, 169, 41) << "批量查询" << false;
        QTest::newRow("s1") << "s1"
                            << "QStatusBar" << QRect(0, 638, 1051, 41) << QString() << true;
        QTest::newRow("Label1") << "Label1"
                                << "QLabel" << QRect(200, 584, 56, 20) << "查询速度" << true;
        QTest::newRow("Slider1") << "Slider1"
                                 << "QSlider" << QRect(264, 584, 225, 25) << QString() << true;
        QTest::newRow("Label2") << "Label2"
                                << "QLabel" << QRect(496, 584, 42, 20) << "3秒/次" << true;
        QTest::newRow("Command3") << "Command3"
                                  << "QPushButton" << QRect(752, 584, 89, 33) << "工作室官网"
                                  << true;
        QTest::newRow("Command4") << "Command4"
                                  << "QPushButton" << QRect(848, 584, 89, 33) << "禾岳公司官网"
                                  << true;
        QTest::newRow("Command5") << "Command5"
                                  << "QPushButton" << QRect(944, 584, 89, 33) << "退出程序" << true;
        QTest::newRow("Command6") << "Command6"
                                  << "QPushButton" << QRect(96, 528, 81, 41) << "添加域名" << true;
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);

        window->Form_Load();
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->parentWidget(), window.get());
        QVERIFY2(widget->inherits(kind.toLatin1()), widget->metaObject()->className());
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->isEnabled(), enabled);
        QVERIFY(widget->isVisible());
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QCOMPARE(button->text(), caption);
            // Buttons keep the platform's dialog font.
            QVERIFY(!button->testAttribute(Qt::WA_SetFont));
        } else if (auto *label = qobject_cast<QLabel *>(widget)) {
            QCOMPARE(label->text(), caption);
            QVERIFY(!label->autoFillBackground());
            // "Sized to its text": the caption fits without clipping.
            QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        }
    }

    void windowFrameTitleAndPlace() {
        QCOMPARE(window->windowTitle(), QStringLiteral("澜序网站收录批量查询器"));
        QCOMPARE(window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(window->minimumSize(), QSize(1051, 679));
        QCOMPARE(window->maximumSize(), QSize(1051, 679));
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

        window->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(1051, 679));
        QVERIFY(window->windowIcon().isNull());
        // The whole frame, title bar included, is centred on the screen.
        const QPoint offCentre =
            window->frameGeometry().center() - window->screen()->geometry().center();
        QVERIFY(offCentre.manhattanLength() <= 4);
    }

    void listFontsAreTheChineseFontAtTenAndAHalfPoints() {
        QString expected;
        const QStringList installed = QFontDatabase::families();
        for (const QString &family : shoulu::ListFontCandidates()) {
            if (installed.contains(family)) {
                expected = family;
                break;
            }
        }
        QVERIFY2(!expected.isEmpty(), "no CJK font installed; the scripts install one");
        QList<QWidget *> widgets{
            window->control<QTableWidget>("Listview1")->horizontalHeader()}; // header included
        for (const char *name : {"List1", "Listview1", "Label1", "Label2"}) {
            widgets.append(window->control<QWidget>(name));
        }
        for (const QWidget *widget : widgets) {
            const QFont font = widget->font();
            QCOMPARE(QFontInfo(font).family(), expected);
            QCOMPARE(font.pointSizeF(), 10.5);
            QCOMPARE(font.weight(), QFont::Normal);
            QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
            // The queue shows Chinese domains and captions without boxes.
            QVERIFY(QFontMetrics(font).inFontUcs4(U'澜'));
        }
    }

    void tabOrderAndInitialFocus() {
        const QStringList named{"Command1", "Listview1", "List1",    "Command2",
                                "s1",       "Label1",    "Slider1",  "Label2",
                                "Command3", "Command4",  "Command5", "Command6"};
        QStringList order;
        QWidget *widget = window->control<QWidget>("Command1");
        for (int step = 0; step < 200 && order.size() < 9; ++step) {
            if (named.contains(widget->objectName()) &&
                (widget->focusPolicy() & Qt::TabFocus) != 0) {
                order.append(widget->objectName());
            }
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"Command1", "Listview1", "List1", "Command2", "Slider1",
                                     "Command3", "Command4", "Command5", "Command6"}));
        for (const char *name : {"s1", "Label1", "Label2"}) {
            QCOMPARE(window->control<QWidget>(name)->focusPolicy(), Qt::NoFocus);
        }
        window->Form_Load();
        QCOMPARE(window->focusWidget(), window->control<QWidget>("Command1"));
    }

    void resultsTableColumnsAndLook() {
        auto *table = window->control<QTableWidget>("Listview1");
        QCOMPARE(table->columnCount(), 4);
        QCOMPARE(table->rowCount(), 0);
        const QStringList headings{"域名", "百度收录/反链", "360收录/反链", "Bing收录/反链"};
        const QList<int> widths{167, 213, 213, 213};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(table->horizontalHeaderItem(column)->text(), headings[column]);
            QCOMPARE(table->columnWidth(column), widths[column]);
        }
        QVERIFY(table->horizontalHeader()->defaultAlignment().testFlag(Qt::AlignLeft));
        QVERIFY(!table->verticalHeader()->isVisible());
        QVERIFY(table->showGrid());
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
        // Several rows can be selected, for copying them.
        QCOMPARE(table->selectionMode(), QAbstractItemView::ExtendedSelection);
        // Tab moves on to the next control instead of walking the cells.
        QVERIFY(!table->tabKeyNavigation());
    }

    void statusBarPanels() {
        auto *s1 = window->control<QStatusBar>("s1");
        QList<QLabel *> panels;
        for (int n = 1; n <= 4; ++n) {
            panels.append(s1->findChild<QLabel *>(QStringLiteral("s1Panel%1").arg(n)));
            QVERIFY(panels.last() != nullptr);
            QCOMPARE(panels.last()->textFormat(), Qt::PlainText); // a service text is no markup
        }
        QCOMPARE(panels[0]->text(), QStringLiteral("运行提示："));
        QCOMPARE(panels[1]->text(), QStringLiteral("正在检测程序最新版本.."));
        QCOMPARE(panels[2]->text(), QString());
        QCOMPARE(panels[3]->text(), QStringLiteral("澜序出品"));

        window->Form_Load();
        QCOMPARE(panels[2]->text(), QStringLiteral("V2.1.0"));
        QCOMPARE(panels[0]->width(), 96);
        QCOMPARE(panels[2]->width(), 96);
        QCOMPARE(panels[3]->width(), 96);
        // Panel 2 takes what the others leave, about 758 px at this width.
        QVERIFY(qAbs(panels[1]->width() - 758) <= 2);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(panels[i]->geometry().right() < panels[i + 1]->geometry().left());
        }
        QVERIFY(panels[3]->geometry().right() <= s1->width() - 1);
        const QList<Qt::Alignment> horizontal{Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter,
                                              Qt::AlignHCenter};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(panels[i]->alignment() & Qt::AlignHorizontal_Mask, horizontal[i]);
            QCOMPARE(panels[i]->frameShadow(), QFrame::Sunken);
            QVERIFY(panels[i]->frameShape() != QFrame::NoFrame);
            QCOMPARE(panels[i]->minimumWidth(), 96);
        }
        QVERIFY(!s1->isSizeGripEnabled());
    }

    void sliderRangeStepsAndLabel() {
        auto *slider = window->control<QSlider>("Slider1");
        auto *label2 = window->control<QLabel>("Label2");
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->value(), 3);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), 5);
        QCOMPARE(slider->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(slider->tickInterval(), 1);

        QTest::keyClick(slider, Qt::Key_Home);
        QCOMPARE(slider->value(), 3);
        QTest::keyClick(slider, Qt::Key_PageUp);
        QCOMPARE(slider->value(), 8);
        QCOMPARE(label2->text(), QStringLiteral("8秒/次"));
        QTest::keyClick(slider, Qt::Key_PageUp);
        QCOMPARE(slider->value(), 10);
        QCOMPARE(label2->text(), QStringLiteral("10秒/次"));
        // The longer caption still fits.
        QVERIFY(label2->width() >= label2->fontMetrics().horizontalAdvance(label2->text()));
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(label2->text(), QStringLiteral("9秒/次"));
    }

    void timersAtCreation() {
        auto *timer1 = window->control<QTimer>("Timer1");
        auto *timer2 = window->control<QTimer>("Timer2");
        QVERIFY(timer1 != nullptr && timer2 != nullptr);
        QCOMPARE(timer1->interval(), 1000);
        QVERIFY(!timer1->isActive());
        QCOMPARE(timer2->interval(), 1000);
        QVERIFY(timer2->isActive());
    }

    void queueShowsTheHandPointer() {
        auto *list = window->control<QListWidget>("List1");
        QCOMPARE(list->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
