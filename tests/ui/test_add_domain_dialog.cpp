// The add-domain dialog opened from the main window: its layout, its checks in order, the add
// itself, the immediate query and a fresh start on every opening.
#include "tests/ui/window_harness.h"
#include "ui/look.h"
#include "ui/translations.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include <memory>

using shoulu::testing::OnDialog;
using shoulu::testing::Press;
using shoulu::testing::TestWindow;

namespace {

const QString kTitle = QStringLiteral("澜序系列软件");

template <typename T> T *Child(QDialog &dialog, const char *name) {
    T *child = dialog.findChild<T *>(QLatin1String(name));
    if (child == nullptr) {
        QTest::qFail(name, __FILE__, __LINE__);
    }
    return child;
}

// Types text into the dialog and presses its add button.
void Add(QDialog &dialog, const QString &text, bool queryAtOnce = false) {
    auto *edit = Child<QLineEdit>(dialog, "Text1");
    edit->clear();
    QTest::keyClicks(edit, text);
    Child<QCheckBox>(dialog, "Check1")->setChecked(queryAtOnce);
    QTest::mouseClick(Child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
}

} // namespace

class TestAddDomainDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWindow> window;

    void open() { QTest::mouseClick(window->control<QPushButton>("Command6"), Qt::LeftButton); }

    QStringList messages() const {
        QStringList texts;
        for (const auto &box : window->boxes) {
            texts.append(box.text);
        }
        return texts;
    }

private slots:
    void initTestCase() { shoulu::InstallChineseTranslations(*QCoreApplication::instance()); }

    void init() {
        window = std::make_unique<TestWindow>();
        window->Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        QVERIFY2(window->script.unanswered.isEmpty(),
                 qPrintable(window->script.unanswered.join(", ")));
        window.reset();
    }

    void layoutFocusAndCursor() {
        bool inspected = false;
        window->script.answers = {OnDialog([&](QDialog &dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("Form2"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("添加域名"));
            QVERIFY(dialog.windowIcon().isNull());
            QCOMPARE(dialog.size(), QSize(346, 193));
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            const QPoint offCentre =
                dialog.frameGeometry().center() - dialog.screen()->geometry().center();
            QVERIFY(offCentre.manhattanLength() <= 4);

            auto *frame = Child<QGroupBox>(dialog, "Frame1");
            auto *label = Child<QLabel>(dialog, "Label1");
            auto *edit = Child<QLineEdit>(dialog, "Text1");
            auto *check = Child<QCheckBox>(dialog, "Check1");
            auto *add = Child<QPushButton>(dialog, "Command1");
            QCOMPARE(frame->geometry(), QRect(16, 16, 313, 89));
            QVERIFY(frame->title().isEmpty());
            QCOMPARE(label->parentWidget(), frame);
            QCOMPARE(label->geometry(), QRect(16, 16, 140, 20));
            QCOMPARE(label->text(), QStringLiteral("请输入要添加的域名："));
            QCOMPARE(edit->parentWidget(), frame);
            QCOMPARE(edit->geometry(), QRect(16, 48, 289, 23));
            QVERIFY(edit->maxLength() > 1000000); // long texts reach the checks uncut
            QCOMPARE(check->geometry(), QRect(16, 112, 145, 17));
            QCOMPARE(check->text(), QStringLiteral("添加后立刻查询"));
            QCOMPARE(check->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(add->geometry(), QRect(16, 144, 313, 33));
            QCOMPARE(add->text(), QStringLiteral("添加"));
            QVERIFY(add->isDefault());
            QVERIFY(!add->testAttribute(Qt::WA_SetFont));
            for (QWidget *widget : {static_cast<QWidget *>(label), static_cast<QWidget *>(edit),
                                    static_cast<QWidget *>(check)}) {
                QCOMPARE(widget->font().pointSizeF(), 10.5);
                QCOMPARE(QFontInfo(widget->font()).family(),
                         QFontInfo(shoulu::ListFont()).family());
            }

            QCOMPARE(dialog.focusWidget(), add);
            QStringList order;
            QWidget *widget = add;
            for (int step = 0; step < 50 && order.size() < 3; ++step) {
                if ((widget->focusPolicy() & Qt::TabFocus) != 0 &&
                    QStringList{"Command1", "Text1", "Check1"}.contains(widget->objectName())) {
                    order.append(widget->objectName());
                }
                widget = widget->nextInFocusChain();
            }
            QCOMPARE(order, (QStringList{"Command1", "Text1", "Check1"}));
            inspected = true;
        })};
        open();
        QVERIFY(inspected);
    }

    void checksComeInOrderAndKeepTheDialogOpen() {
        const QList<QPair<QString, QString>> cases{
            {QString(), QStringLiteral("请输入域名..")},
            {QStringLiteral("   "), QStringLiteral("域名不正确,您请检查..")},
            {QStringLiteral("http://x"), QStringLiteral("域名不正确,您请检查..")},
            {QStringLiteral("http://example.com"), QStringLiteral("域名不需要加http://..")},
            {QStringLiteral("www.example.com"), QStringLiteral("域名不需要加www..")},
        };
        QStringList expected;
        window->script.answers = {OnDialog([&](QDialog &dialog) {
            for (const auto &[text, message] : cases) {
                window->script.answers.append(Press(QMessageBox::Ok));
                Add(dialog, text);
                expected.append(message);
                QVERIFY(dialog.isVisible());
                QCOMPARE(Child<QLineEdit>(dialog, "Text1")->text(), text);
            }
            // Enter presses the default button.
            window->script.answers.append(Press(QMessageBox::Ok));
            Child<QLineEdit>(dialog, "Text1")->clear();
            QTest::keyClick(Child<QLineEdit>(dialog, "Text1"), Qt::Key_Return);
            expected.append(QStringLiteral("请输入域名.."));
            QVERIFY(dialog.isVisible());
        })};
        open();
        QCOMPARE(messages(), expected);
        for (const auto &box : window->boxes) {
            QCOMPARE(box.title, kTitle);
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, QMessageBox::Ok);
        }
        QCOMPARE(window->queueCount(), 0);
    }

    void addAppendsUnchangedAndCloses() {
        window->appendQueueEntry(QStringLiteral("first.com"));
        window->logic().select(0);
        const QStringList texts{"example.com", "example.com", "WWW.example.com", " example.com"};
        for (const QString &text : texts) {
            bool closed = false;
            window->script.answers = {OnDialog([&](QDialog &dialog) {
                                          Add(dialog, text);
                                          closed = !dialog.isVisible();
                                      }),
                                      Press(QMessageBox::Ok)};
            open();
            QVERIFY(closed);
        }
        QCOMPARE(window->queueCount(), 5);
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(window->queueEntry(i + 1), texts[i]);
        }
        QCOMPARE(messages(), QStringList(4, QStringLiteral("域名添加成功..")));
        // Appending leaves the selection and the table alone.
        QCOMPARE(window->selectedIndex(), 0);
        QCOMPARE(window->control<QTableWidget>("Listview1")->rowCount(), 0);
        QVERIFY(window->getUrls.isEmpty());
    }

    void queryAtOnceQueriesTheNewEntryAfterClosing() {
        bool dialogOpenDuringQuery = true;
        QDialog *form2 = nullptr;
        window->duringGet = [&] { dialogOpenDuringQuery = form2->isVisible(); };
        window->script.answers = {OnDialog([&](QDialog &dialog) {
                                      form2 = &dialog;
                                      Add(dialog, QStringLiteral("example.com"), true);
                                  }),
                                  Press(QMessageBox::Ok)};
        open();
        QCOMPARE(window->getUrls.size(), 1);
        QVERIFY(!dialogOpenDuringQuery);
        QCOMPARE(window->selectedIndex(), 0);
        auto *table = window->control<QTableWidget>("Listview1");
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("example.com"));
        // The gate is closed again: a later click queries nothing.
        window->logic().select(0);
        QCOMPARE(window->getUrls.size(), 1);
    }

    void everyOpeningStartsEmptyAndUnticked() {
        window->script.answers = {OnDialog([](QDialog &dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "Text1"), QStringLiteral("half typed"));
            Child<QCheckBox>(dialog, "Check1")->setChecked(true);
        })};
        open();
        window->script.answers = {OnDialog([](QDialog &dialog) { Add(dialog, "a.com"); }),
                                  Press(QMessageBox::Ok)};
        open();
        for (int opening = 0; opening < 2; ++opening) {
            bool fresh = false;
            window->script.answers = {OnDialog([&](QDialog &dialog) {
                fresh = Child<QLineEdit>(dialog, "Text1")->text().isEmpty() &&
                        !Child<QCheckBox>(dialog, "Check1")->isChecked();
            })};
            open();
            QVERIFY(fresh);
        }
        // The dialog closed without adding left the queue as it was.
        QCOMPARE(window->queueCount(), 1);
    }
};

QTEST_MAIN(TestAddDomainDialog)
#include "test_add_domain_dialog.moc"
