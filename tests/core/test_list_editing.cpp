#include "core/add_domain.h"
#include "core/domain_import.h"
#include "core/queue_tools.h"
#include "tests/core/query_harness.h"
#include "tests/support/temp_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace shoulu;
using namespace shoulu::testing;

namespace {

const QString kTitle = QStringLiteral("澜序系列软件");

// Presses the dialog's add button; counts how often the dialog was closed.
struct AddDialog {
    QueryHarness &h;
    int closes = 0;
    void add(const QString &text, bool queryAtOnce) {
        Form2_Command1_Click(h.window, h.form, text, queryAtOnce, [this] { ++closes; });
    }
};

} // namespace

class ListEditingTest : public QObject {
    Q_OBJECT
private slots:
    void addRejects_data();
    void addRejects();
    void addAppendsUnchanged_data();
    void addAppendsUnchanged();
    void addAndQueryAtOnce();
    void addDuringBatch();
    void addToAFullQueue();
    void doubleClickRemovesTheSelectedEntry();
    void doubleClickWithoutSelection();
    void mouseDownImportsOnlyIntoAnEmptyQueue();
    void pasteAppendsLikeTheImport_data();
    void pasteAppendsLikeTheImport();
    void pasteStopsAtTheLimit();
    void dropsImportAFileOrPasteText_data();
    void dropsImportAFileOrPasteText();
    void removeDuplicates_data();
    void removeDuplicates();
    void clearAsksFirst();
};

void ListEditingTest::addRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "请输入域名..";
    QTest::newRow("spaces") << "   "
                            << "域名不正确,您请检查..";
    QTest::newRow("capitals") << "EXAMPLE.COM"
                              << "域名不正确,您请检查..";
    QTest::newRow("suffix checked before scheme") << "http://x"
                                                  << "域名不正确,您请检查..";
    QTest::newRow("scheme") << "http://example.com"
                            << "域名不需要加http://..";
    QTest::newRow("scheme anywhere") << "example.com/?u=http://x"
                                     << "域名不需要加http://..";
    QTest::newRow("scheme before prefix") << "www.http://a.com"
                                          << "域名不需要加http://..";
    QTest::newRow("prefix") << "www.example.com"
                            << "域名不需要加www..";
}

void ListEditingTest::addRejects() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    QueryHarness h;
    h.setQueue({"a.com"});
    AddDialog dialog{h};
    dialog.add(text, true);
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].text, message);
    QCOMPARE(h.window.messages[0].title, kTitle);
    QCOMPARE(h.window.messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(h.window.queue, QStringList{"a.com"});
    QCOMPARE(dialog.closes, 0);
    QVERIFY(h.queried.isEmpty());
}

void ListEditingTest::addAppendsUnchanged_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "example.com";
    QTest::newRow("capital prefix") << "WWW.example.com";
    QTest::newRow("leading space") << " example.com";
    QTest::newRow("https") << "https://example.com";
}

void ListEditingTest::addAppendsUnchanged() {
    QFETCH(QString, text);
    QueryHarness h;
    h.setQueue({"a.com", text});
    h.window.selected = 0;
    h.window.panels[2] = QStringLiteral("before");
    AddDialog dialog{h};
    dialog.add(text, false);
    // A duplicate is appended as well; selection and status stay.
    QCOMPARE(h.window.queue, (QStringList{"a.com", text, text}));
    QCOMPARE(h.window.selected, 0);
    QCOMPARE(h.window.highlights, 0);
    QCOMPARE(h.window.panels[2], QStringLiteral("before"));
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].text, QStringLiteral("域名添加成功.."));
    QCOMPARE(h.window.messages[0].title, kTitle);
    QCOMPARE(dialog.closes, 1);
    QVERIFY(h.queried.isEmpty());
}

void ListEditingTest::addAndQueryAtOnce() {
    QueryHarness h;
    AddDialog dialog{h};
    int closesAtQuery = -1;
    int messagesAtQuery = -1;
    h.during = [&](int, const QString &) {
        closesAtQuery = dialog.closes;
        messagesAtQuery = int(h.window.messages.size());
    };
    dialog.add("example.com", true);
    QCOMPARE(h.window.queue, QStringList{"example.com"});
    QCOMPARE(h.window.selected, 0);
    QCOMPARE(h.queried, QStringList{"example.com"});
    QCOMPARE(h.window.rows.size(), 1);
    QCOMPARE(closesAtQuery, 1); // closed before the query, after the success message
    QCOMPARE(messagesAtQuery, 1);
    QVERIFY(dialog.closes >= 1);
    QVERIFY(!h.form.queryGate());
    QCOMPARE(h.window.panels[2],
             QStringLiteral("example.com查询完毕 | 共：1个域名 | 剩余查询：0个"));
}

void ListEditingTest::addDuringBatch() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com"});
    h.form.Command2_Click();
    AddDialog dialog{h};
    dialog.add("c.com", false);
    QVERIFY(h.form.queryGate());
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.queried, (QStringList{"a.com", "b.com", "c.com"}));
    QCOMPARE(h.window.panels[2], QStringLiteral("所有域名已查询完毕!"));
}

void ListEditingTest::addToAFullQueue() {
    QueryHarness h;
    h.window.queue = QStringList(32767, QStringLiteral("a.com"));
    AddDialog dialog{h};
    dialog.add("b.com", true);
    QCOMPARE(h.window.queue.size(), 32767);
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].title, kTitle);
    QVERIFY(h.window.messages[0].text.contains(QStringLiteral("32767")));
    QCOMPARE(dialog.closes, 0);
    QVERIFY(h.queried.isEmpty());
}

void ListEditingTest::doubleClickRemovesTheSelectedEntry() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com", "c.com", "d.com", "e.com"});
    h.form.cx(); // a row that outlives its entry
    h.form.select(2);
    const QString toolTip = h.window.queueToolTip;
    const QString status = h.window.panels[2];
    h.form.List1_DblClick();
    QCOMPARE(h.window.queue, (QStringList{"a.com", "b.com", "d.com", "e.com"}));
    QCOMPARE(h.window.rows.size(), 1);
    QCOMPARE(h.window.queueToolTip, toolTip);
    QCOMPARE(h.window.panels[2], status);
    QVERIFY(h.window.messages.isEmpty());

    h.setQueue({"e.com"});
    h.form.select(0);
    h.form.List1_DblClick();
    QVERIFY(h.window.queue.isEmpty());
    QCOMPARE(h.window.rows.first().text, QStringLiteral("e.com"));
}

void ListEditingTest::doubleClickWithoutSelection() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com"});
    h.form.List1_DblClick();
    QCOMPARE(h.window.queue, (QStringList{"a.com", "b.com"}));
    QVERIFY(h.window.messages.isEmpty());
    h.setQueue({});
    h.form.List1_DblClick();
    QVERIFY(h.window.queue.isEmpty());
}

void ListEditingTest::mouseDownImportsOnlyIntoAnEmptyQueue() {
    QueryHarness h;
    h.setQueue({"a.com"});
    h.form.List1_MouseDown();
    QVERIFY(h.window.messages.isEmpty());
    QVERIFY(h.window.fileDialogs.isEmpty());

    h.form.select(0);
    h.form.List1_DblClick();
    // Empty now: each press asks again, also after a cancelled dialog.
    h.form.List1_MouseDown();
    h.form.List1_MouseDown();
    QCOMPARE(h.window.fileDialogs.size(), 2);
    QCOMPARE(h.window.fileDialogs[0].title, QStringLiteral("请选择要加载的文件"));
    QCOMPARE(h.window.messages.size(), 2);
    QCOMPARE(h.window.messages[0].title, QStringLiteral("提示"));
    QVERIFY(h.window.queue.isEmpty());
}

void ListEditingTest::pasteAppendsLikeTheImport_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<QString>("status");
    QTest::newRow("line ends and prefixes")
        << "http://www.b.com\r\nc.cn\n\nwww.d.net\re.com\r\n"
        << QStringList{"a.com", "b.com", "c.cn", "d.net", "e.com"}
        << "粘贴成功!添加4个域名,共5个域名";
    QTest::newRow("kept as the import keeps them")
        << "WWW.X.COM\n  \nwww.\na.com" << QStringList{"a.com", "WWW.X.COM", "  ", "", "a.com"}
        << "粘贴成功!添加4个域名,共5个域名";
    QTest::newRow("nothing to add") << "\r\n\n"
                                    << QStringList{"a.com"} << "剪贴板中没有可添加的域名";
    // A line no domain can be is left out, and said so: 4096 characters stay, 4097 do not.
    QTest::newRow("overlong lines")
        << QString(4097, u'x') + "\nb.com\r" + QString(4096, u'y')
        << QStringList{"a.com", "b.com", QString(4096, u'y')}
        << "粘贴成功!添加2个域名,共3个域名，另有1行超过4096个字符，未加载";
    QTest::newRow("only an overlong line")
        << QString(5000000, u'x') << QStringList{"a.com"}
        << "剪贴板中没有可添加的域名，另有1行超过4096个字符，未加载";
}

void ListEditingTest::pasteAppendsLikeTheImport() {
    QFETCH(QString, clipboard);
    QFETCH(QStringList, queue);
    QFETCH(QString, status);
    QueryHarness h;
    h.setQueue({"a.com"});
    h.window.selected = 0;
    h.window.clipboard = clipboard;
    PasteDomains(h.window);
    QCOMPARE(h.window.queue, queue);
    QCOMPARE(h.window.panels[2], status);
    QCOMPARE(h.window.selected, 0);
    QCOMPARE(h.window.highlights, 0);
    QVERIFY(h.window.messages.isEmpty());
}

void ListEditingTest::pasteStopsAtTheLimit() {
    QueryHarness h;
    h.setQueue(QStringList(32765, QStringLiteral("a.com")));
    h.window.clipboard = QStringLiteral("b.com\nc.com\nd.com\ne.com");
    PasteDomains(h.window);
    QCOMPARE(h.window.queue.size(), 32767);
    QCOMPARE(h.window.queue.last(), QStringLiteral("c.com"));
    QCOMPARE(h.window.panels[2], QStringLiteral("粘贴成功!添加2个域名,共32767个域名"));
    QCOMPARE(h.window.messages.size(), 1);
    QCOMPARE(h.window.messages[0].text, OverflowMessage(2));
    QCOMPARE(h.window.messages[0].title, QStringLiteral("提示"));
}

void ListEditingTest::dropsImportAFileOrPasteText_data() {
    QTest::addColumn<int>("files"); // copies of a list of www.b.com and c.com
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("overQueue");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("importEnabled");
    QTest::addColumn<QStringList>("queue"); // empty: the drop is refused
    QTest::addColumn<QString>("status");
    const QStringList imported{"b.com", "c.com"};
    const QString loaded = QStringLiteral("列表加载成功!共2个域名");
    QTest::newRow("file on the window") << 1 << "" << false << false << true << imported << loaded;
    QTest::newRow("file during a batch") << 1 << "" << false << true << true << imported << loaded;
    QTest::newRow("file, import disabled")
        << 1 << "" << true << false << false << QStringList{} << "";
    QTest::newRow("two files") << 2 << "" << true << false << true << QStringList{"a.com"}
                               << "一次只能拖入一个文件";
    QTest::newRow("text on the queue")
        << 0 << "www.b.com\r\nc.com" << true << false << true
        << QStringList{"a.com", "b.com", "c.com"} << "拖入成功!添加2个域名,共3个域名";
    QTest::newRow("text without a domain")
        << 0 << "\r\n"
        << true << false << true << QStringList{"a.com"} << "拖入的文本中没有可添加的域名";
    QTest::newRow("text beside the queue")
        << 0 << "b.com" << false << false << true << QStringList{} << "";
    QTest::newRow("text during a batch")
        << 0 << "b.com" << true << true << true << QStringList{} << "";
    QTest::newRow("nothing") << 0 << "" << true << false << true << QStringList{} << "";
}

void ListEditingTest::dropsImportAFileOrPasteText() {
    QFETCH(int, files);
    QFETCH(QString, text);
    QFETCH(bool, overQueue);
    QFETCH(bool, running);
    QFETCH(bool, importEnabled);
    QFETCH(QStringList, queue);
    QFETCH(QString, status);
    QTemporaryDir dir;
    const QString list = WriteTempFile(dir, "list.txt", "www.b.com\r\nc.com\r\n");
    QueryHarness h;
    h.setQueue({"a.com"});
    if (running) {
        h.form.Command2_Click();
    }
    h.window.buttonEnabled[ButtonId::Command1] = importEnabled;
    h.window.panels[2] = QStringLiteral("before");
    const DragData data{QStringList(files, list), text};
    QCOMPARE(h.form.OLEDragOver(data, overQueue), !queue.isEmpty());
    h.form.OLEDragDrop(data, overQueue);
    // A refused drop changes nothing; a file is read without the hint and the dialog.
    QCOMPARE(h.window.queue, queue.isEmpty() ? QStringList{"a.com"} : queue);
    QCOMPARE(h.window.panels[2], status.isEmpty() ? QStringLiteral("before") : status);
    QVERIFY(h.window.messages.isEmpty() && h.window.fileDialogs.isEmpty());
    // A file taken during a batch stops it first: the batch's entries are replaced.
    QCOMPARE(h.form.batchRunning(), running && queue.isEmpty());
}

void ListEditingTest::removeDuplicates_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("status");
    QTest::newRow("later repeats go")
        << QStringList{"b.com", "a.com", "b.com", "A.com", "", "a.com", ""}
        << QStringList{"b.com", "a.com", "A.com", ""} << "已去除3个重复域名,剩余4个域名";
    QTest::newRow("none") << QStringList{"a.com", "b.com"} << QStringList{"a.com", "b.com"}
                          << "列表中没有重复的域名";
}

void ListEditingTest::removeDuplicates() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, status);
    QueryHarness h;
    h.setQueue(before);
    RemoveDuplicateEntries(h.window);
    QCOMPARE(h.window.queue, after);
    QCOMPARE(h.window.panels[2], status);
    QCOMPARE(h.window.highlights, 0);
}

void ListEditingTest::clearAsksFirst() {
    QueryHarness h;
    h.setQueue({"a.com", "b.com"});
    h.window.appendRow();
    h.window.script.answers = {MessageAnswer::No, MessageAnswer::Yes};
    ClearQueueAsked(h.window);
    QCOMPARE(h.window.queue.size(), 2);
    ClearQueueAsked(h.window);
    QVERIFY(h.window.queue.isEmpty());
    QCOMPARE(h.window.rows.size(), 1);
    QCOMPARE(h.window.panels[2], QStringLiteral("域名列表已清空"));
    QCOMPARE(h.window.messages.size(), 2);
    for (const auto &message : h.window.messages) {
        QCOMPARE(message.text, QStringLiteral("确定要清空域名列表吗?"));
        QCOMPARE(message.title, QStringLiteral("提示"));
        QCOMPARE(message.buttons, MessageButtons::YesNo);
    }
}

QTEST_APPLESS_MAIN(ListEditingTest)
#include "test_list_editing.moc"
