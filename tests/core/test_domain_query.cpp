#include "tests/core/query_harness.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace shoulu;
using namespace shoulu::testing;

namespace {

// An oracle independent of the program's digest, valid for ASCII texts.
QString AsciiToken(const QString &text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
}

// A full answer for a.com with the member at path renamed away.
QString AnswerWithout(const QString &path) {
    QJsonObject info;
    info.insert(QStringLiteral("web"), QJsonObject{{QStringLiteral("domain"), "a.com"}});
    int count = 0;
    for (const char *engine : {"bd", "so", "bing"}) {
        info.insert(QLatin1String(engine), QJsonObject{{QStringLiteral("site"), ++count},
                                                       {QStringLiteral("domain"), ++count}});
    }
    const QStringList parts = path.split(QLatin1Char('.'));
    QJsonObject engine = info.value(parts[0]).toObject();
    engine.insert(QLatin1Char('x') + parts[1], engine.take(parts[1]));
    info.insert(parts[0], engine);
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("info"), info}}).toJson(QJsonDocument::Compact));
}

} // namespace

class DomainQueryTest : public QObject {
    Q_OBJECT
private slots:
    void gateOffOnlySetsToolTip();
    void requestUrlAndToken_data();
    void requestUrlAndToken();
    void rowComesFromTheAnswer();
    void statusNamesEntryCountAndRemaining();
    void suffixTestDecidesWhatIsSent_data();
    void suffixTestDecidesWhatIsSent();
    void faultyAnswersLeaveTableAndStatus_data();
    void faultyAnswersLeaveTableAndStatus();
    void answerTextKeepsTheLastAnswer();
};

void DomainQueryTest::gateOffOnlySetsToolTip() {
    QueryHarness h;
    h.setQueue({QStringLiteral("a.com"), QStringLiteral("example.com")});
    h.window.setSelectedIndex(1);
    QCOMPARE(h.window.queueToolTip, QStringLiteral("双击列表删除:example.com"));
    // Selecting the selected entry again runs the handler again.
    h.window.queue[1] = QStringLiteral("b.com");
    h.window.setSelectedIndex(1);
    QCOMPARE(h.window.queueToolTip, QStringLiteral("双击列表删除:b.com"));
    QVERIFY(h.urls.isEmpty());
    QVERIFY(h.window.rows.isEmpty());
    QVERIFY(h.window.panel2History.isEmpty());
}

void DomainQueryTest::requestUrlAndToken_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("urlValue");

    QTest::newRow("plain") << "example.com"
                           << "example.com";
    QTest::newRow("plain characters stay") << "a-b.com:8080/p?q=1"
                                           << "a-b.com:8080/p?q=1";
    QTest::newRow("ampersand") << "a.com&b=1"
                               << "a.com%26b=1";
    QTest::newRow("hash would drop the token") << "a.com#x"
                                               << "a.com%23x";
    QTest::newRow("plus and percent") << "a+b%20.com"
                                      << "a%2Bb%2520.com";
    QTest::newRow("space and tab") << " a.com\t"
                                   << "%20a.com%09";
    QTest::newRow("delete") << QStringLiteral("a.com") + QChar(0x7F) << "a.com%7F";
    QTest::newRow("capitals kept") << "HTTPS://Example.com"
                                   << "HTTPS://Example.com";
}

void DomainQueryTest::requestUrlAndToken() {
    QFETCH(QString, entry);
    QFETCH(QString, urlValue);
    QueryHarness h;
    h.setQueue({entry});
    h.form.cx();
    QCOMPARE(h.urls.size(), 1);
    // The token is taken over the entry as it reads, not over its escaped form.
    const QString expected = kQueryBase + "/index.php/Index/web_collection?url=" + urlValue +
                             "&token=" + AsciiToken(entry + "lumbe");
    QCOMPARE(h.urls.first(), expected);
}

void DomainQueryTest::rowComesFromTheAnswer() {
    QueryHarness h;
    h.setQueue({QStringLiteral("中文.com")});
    h.answer = [](const QString &) {
        return QStringLiteral(R"({"info":{"web":{"domain":"www.zhongwen.com"},)"
                              R"("bd":{"site":1234567,"domain":"12,345"},)"
                              R"("so":{"site":"0","domain":0},)"
                              R"("bing":{"domain":"9","site":"8"}},"msg":"ignored"})");
    };
    h.form.cx();
    QCOMPARE(h.urls.size(), 1);
    QVERIFY(h.urls.first().contains(QStringLiteral("?url=%E4%B8%AD%E6%96%87.com&token=")));
    QCOMPARE(h.queried.first(), QStringLiteral("中文.com"));
    QCOMPARE(h.window.rows.size(), 1);
    const FakeWindow::Row &row = h.window.rows.first();
    QCOMPARE(row.text, QStringLiteral("www.zhongwen.com"));
    QCOMPARE(row.subItems[0], QStringLiteral("1234567 / 12,345"));
    QCOMPARE(row.subItems[1], QStringLiteral("0 / 0"));
    QCOMPARE(row.subItems[2], QStringLiteral("8 / 9"));
}

void DomainQueryTest::statusNamesEntryCountAndRemaining() {
    QueryHarness h;
    QStringList queue;
    for (int i = 0; i < 10; ++i) {
        queue.append(QStringLiteral("d%1.com").arg(i));
    }
    queue[2] = QStringLiteral("example.com");
    h.setQueue(queue);
    h.form.Command2_Click(); // queries entry 0
    h.window.fireTimer(TimerId::Timer1);
    h.window.fireTimer(TimerId::Timer1);
    QCOMPARE(h.window.panels[2],
             QStringLiteral("example.com查询完毕 | 共：10个域名 | 剩余查询：7个"));
    QCOMPARE(h.window.rows.size(), 3);
}

void DomainQueryTest::suffixTestDecidesWhatIsSent_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("sent");
    QTest::newRow("example.com") << "example.com" << true;
    QTest::newRow("suffix inside") << "community.test" << true;
    QTest::newRow("scheme kept") << "https://example.com" << true;
    QTest::newRow("capitals") << "EXAMPLE.COM" << false;
    QTest::newRow("unknown suffix") << "site.io" << false;
    QTest::newRow("empty") << "" << false;
}

void DomainQueryTest::suffixTestDecidesWhatIsSent() {
    QFETCH(QString, entry);
    QFETCH(bool, sent);
    QueryHarness h;
    h.setQueue({entry});
    h.form.cx();
    QCOMPARE(h.window.queueToolTip, QStringLiteral("双击列表删除:") + entry);
    QCOMPARE(h.queried, sent ? QStringList{entry} : QStringList{});
    QCOMPARE(h.window.rows.size(), sent ? 1 : 0);
    QCOMPARE(h.window.panels[2],
             sent ? entry + QStringLiteral("查询完毕 | 共：1个域名 | 剩余查询：0个")
                  : QStringLiteral("域名不正确,自动跳转下一个.."));
    // Nothing after it to skip to: the position stays.
    QCOMPARE(h.window.selected, 0);
    QCOMPARE(h.form.batchPos(), 0);
}

void DomainQueryTest::faultyAnswersLeaveTableAndStatus_data() {
    QTest::addColumn<QString>("answer");
    const QString full = FullAnswer(QStringLiteral("a.com"));
    QTest::newRow("empty") << QString();
    QTest::newRow("html error page") << "<html><body>502 Bad Gateway</body></html>";
    QTest::newRow("truncated json") << full.left(full.size() - 2);
    QTest::newRow("array") << "[" + full + "]";
    QTest::newRow("number") << "42";
    QTest::newRow("string") << "\"a.com\"";
    QTest::newRow("null") << "null";
    QTest::newRow("empty object") << "{}";
    QTest::newRow("info not an object") << R"({"info":5})";
    const QStringList paths = {"web.domain", "bd.site",   "bd.domain",  "so.site",
                               "so.domain",  "bing.site", "bing.domain"};
    for (const QString &path : paths) {
        QTest::newRow(qPrintable("lacks " + path)) << AnswerWithout(path);
    }
    QTest::newRow("engine is a number")
        << R"({"info":{"web":{"domain":"a.com"},"bd":7,"so":{"site":"3","domain":"4"},)"
           R"("bing":{"site":"5","domain":"6"}}})";
}

void DomainQueryTest::faultyAnswersLeaveTableAndStatus() {
    QFETCH(QString, answer);
    QueryHarness h;
    h.setQueue({QStringLiteral("a.com"), QStringLiteral("b.com")});
    h.window.rows.append(FakeWindow::Row{QStringLiteral("old.com"), {"1 / 1", "2 / 2", "3 / 3"}});
    h.window.panels[2] = QStringLiteral("before");
    h.answer = [answer](const QString &) { return answer; };
    h.form.cx();
    QCOMPARE(h.queried, QStringList{QStringLiteral("b.com")});
    QCOMPARE(h.window.rows.size(), 1);
    QCOMPARE(h.window.rows.first().text, QStringLiteral("old.com"));
    QCOMPARE(h.window.panels[2], QStringLiteral("before"));
    QVERIFY(h.window.panel2History.isEmpty());
    QVERIFY(!h.form.queryGate());
}

void DomainQueryTest::answerTextKeepsTheLastAnswer() {
    // A nested query's answer must not become the outer query's row.
    QueryHarness h;
    h.setQueue({QStringLiteral("a.com"), QStringLiteral("b.com")});
    h.during = [&h](int call, const QString &) {
        if (call == 0) {
            // An immediate query from the add-domain dialog, handled inside the wait.
            h.window.queue.append(QStringLiteral("c.com"));
            h.form.cx();
        }
    };
    h.form.Command2_Click();
    QCOMPARE(h.queried, (QStringList{"a.com", "c.com"}));
    QCOMPARE(h.window.rows.size(), 2);
    QCOMPARE(h.window.rows[0].text, QStringLiteral("c.com"));
    QCOMPARE(h.window.rows[1].text, QStringLiteral("a.com"));
    // The outer status is read after its answer: it names the entry selected by then.
    QCOMPARE(h.window.panels[2], QStringLiteral("c.com查询完毕 | 共：3个域名 | 剩余查询：0个"));
    QVERIFY(h.form.queryGate()); // the batch still runs
}

QTEST_APPLESS_MAIN(DomainQueryTest)
#include "test_domain_query.moc"
