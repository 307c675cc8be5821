#include "tests/core/query_harness.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace shoulu;
using namespace shoulu::testing;

Q_DECLARE_METATYPE(shoulu::HttpResult)

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
    void failedQueriesAreToldAndAddNoRow_data();
    void failedQueriesAreToldAndAddNoRow();
    void answerTextKeepsTheLastAnswer();
};

void DomainQueryTest::gateOffOnlySetsToolTip() {
    QueryHarness h;
    h.setQueue({QStringLiteral("a.com"), QStringLiteral("example.com")});
    h.form.select(1);
    QCOMPARE(h.window.queueToolTip, QStringLiteral("双击列表删除:example.com"));
    // Selecting the selected entry again runs the handler again.
    h.window.queue[1] = QStringLiteral("b.com");
    h.form.select(1);
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
        return Answered(QStringLiteral(R"({"info":{"web":{"domain":"www.zhongwen.com"},)"
                                       R"("bd":{"site":1234567,"domain":"12,345"},)"
                                       R"("so":{"site":"0","domain":0},)"
                                       R"("bing":{"domain":"9","site":"8"}},"msg":"ignored"})"));
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

void DomainQueryTest::failedQueriesAreToldAndAddNoRow_data() {
    QTest::addColumn<HttpResult>("result");
    QTest::addColumn<QString>("reason");
    const QString unreadable = QStringLiteral("返回内容无法识别");
    const QString full = FullAnswer(QStringLiteral("a.com"));
    const auto body = [](const QString &text) { return HttpResult{text, HttpFailure::None}; };
    QTest::newRow("empty") << body(QString()) << unreadable;
    QTest::newRow("html error page")
        << body("<html><body>502 Bad Gateway</body></html>") << unreadable;
    QTest::newRow("truncated json") << body(full.left(full.size() - 2)) << unreadable;
    QTest::newRow("array") << body("[" + full + "]") << unreadable;
    QTest::newRow("null") << body("null") << unreadable;
    QTest::newRow("info not an object") << body(R"({"info":5})") << unreadable;
    const QStringList paths = {"web.domain", "bd.site",   "bd.domain",  "so.site",
                               "so.domain",  "bing.site", "bing.domain"};
    for (const QString &path : paths) {
        QTest::newRow(qPrintable("lacks " + path)) << body(AnswerWithout(path)) << unreadable;
    }
    QTest::newRow("service refusal")
        << body(QStringLiteral(R"({"result":0,"message":" 暂无该域名的\n收录数据 "})"))
        << QStringLiteral("暂无该域名的 收录数据");
    QTest::newRow("long refusal is cut")
        << body(QStringLiteral(R"({"result":0,"message":"%1"})").arg(QString(70, u'错')))
        << QString(60, u'错') + QStringLiteral("…");
    QTest::newRow("refused") << HttpResult{{}, HttpFailure::ConnectFailed}
                             << QStringLiteral("无法连接查询服务");
    QTest::newRow("timed out") << HttpResult{{}, HttpFailure::TimedOut}
                               << QStringLiteral("查询服务无响应");
    QTest::newRow("tls") << HttpResult{{}, HttpFailure::TlsFailed}
                         << QStringLiteral("证书校验失败");
    QTest::newRow("too large") << HttpResult{{}, HttpFailure::TooLarge} << unreadable;
}

void DomainQueryTest::failedQueriesAreToldAndAddNoRow() {
    QFETCH(HttpResult, result);
    QFETCH(QString, reason);
    QueryHarness h;
    h.setQueue({QStringLiteral("a<b>x</b>.com"), QStringLiteral("b.com")});
    h.window.rows.append(FakeWindow::Row{QStringLiteral("old.com"), {"1 / 1", "2 / 2", "3 / 3"}});
    h.answer = [result](const QString &) { return result; };
    h.startIdle();
    h.form.Command2_Click();
    QVERIFY(h.window.fireTimer(TimerId::Timer1));
    QCOMPARE(h.queried, (QStringList{"a<b>x</b>.com", "b.com"}));
    QVERIFY(h.window.rows.isEmpty());
    QCOMPARE(h.window.panel2History.value(1),
             "a<b>x</b>.com查询失败(" + reason + ") | 共：2个域名 | 剩余查询：1个");
    QCOMPARE(h.window.panels[2], QStringLiteral("所有域名已查询完毕! 其中2个未查到"));
    const QList<FailedEntry> failed = h.form.ledger().listed();
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed[0].domain, QStringLiteral("a<b>x</b>.com"));
    QCOMPARE(failed[1].reason, reason);
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
