#include "app/version_check.h"
#include "tests/support/fake_window.h"

#include <QTest>

using shoulu::MessageAnswer;
using shoulu::MessageButtons;
using shoulu::TimerId;
using shoulu::VersionCheck;
using shoulu::testing::FakeWindow;

namespace {

const QString kVersionBase = QStringLiteral("https://version.example");
const QString kSiteBase = QStringLiteral("https://site.example");
const QString kUnreachable = QStringLiteral("抱歉，软件需要联网使用，请检查您的网络后重启软件");

struct Post {
    QString url;
    QString data;
};

// A window, a check wired to its Timer2, and a version service that answers one text.
struct Rig {
    FakeWindow window;
    QString answer;
    QList<Post> posts;
    int initCalls = 0;
    std::function<void()> duringPost;
    VersionCheck check{window,
                       [this](const QString &url, const QString &data) {
                           posts.append({url, data});
                           if (duringPost) {
                               duringPost();
                           }
                           return answer;
                       },
                       [this] { ++initCalls; }, kVersionBase, kSiteBase};

    explicit Rig(QString serviceAnswer)
        : answer(std::move(serviceAnswer)) {
        window.onTimer2 = [this] { check.Timer2_Timer(); };
    }
};

QString Offer(const QString &version) {
    return QStringLiteral("发现最新版本") + version + QStringLiteral("，是否现在更新?");
}

} // namespace

class TestVersionCheck : public QObject {
    Q_OBJECT

private slots:
    void postsTheProductIdentifierToTheServicePath() {
        Rig rig(QStringLiteral(R"({"result":1,"info":{"version":"2.1.0","sid":"9","must":0}})"));
        QVERIFY(rig.window.fireTimer(TimerId::Timer2));
        QCOMPARE(rig.posts.size(), 1);
        QCOMPARE(rig.posts[0].url, kVersionBase + QStringLiteral("/index.php/Index/soft_version"));
        QCOMPARE(rig.posts[0].data, QStringLiteral("sn=tandri"));
    }

    void outcomes_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QList<MessageAnswer>>("answers");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QStringList>("browser");

        using L = QList<MessageAnswer>;
        const QString yes =
            QStringLiteral(R"({"result":"1","info":{"version":"%1","sid":"%2","must":%3}})");
        const QStringList none;

        QTest::newRow("unreachable")
            << QString() << L{} << QStringList{kUnreachable} << true << none;
        QTest::newRow("refused with number 0")
            << QStringLiteral(R"({"result":0,"message":"此版本已停用"})") << L{}
            << QStringList{QStringLiteral("此版本已停用")} << true << none;
        QTest::newRow("refused with text 0")
            << QStringLiteral(R"({"result":"0","message":"请联系客服"})") << L{}
            << QStringList{QStringLiteral("请联系客服")} << true << none;
        QTest::newRow("same version")
            << yes.arg("2.1.0", "12", "1") << L{} << none << false << none;
        QTest::newRow("newer optional declined")
            << yes.arg("2.1.1", "12", "\"0\"") << L{MessageAnswer::No}
            << QStringList{Offer("2.1.1")} << false << none;
        QTest::newRow("optional as number 0 declined")
            << yes.arg("2.2.0", "12", "0") << L{MessageAnswer::No} << QStringList{Offer("2.2.0")}
            << false << none;
        QTest::newRow("older version is offered too")
            << yes.arg("2.0.9", "12", "\"0\"") << L{MessageAnswer::No}
            << QStringList{Offer("2.0.9")} << false << none;
        QTest::newRow("trailing space is a different version")
            << yes.arg("2.1.0 ", "12", "\"0\"") << L{MessageAnswer::No}
            << QStringList{Offer("2.1.0 ")} << false << none;
        QTest::newRow("newer optional accepted")
            << yes.arg("2.1.1", "a b/c", "\"0\"") << L{MessageAnswer::Yes}
            << QStringList{Offer("2.1.1")} << true
            << QStringList{kSiteBase + QStringLiteral("/index.php/Works/detail/sid/a b/c")};
        QTest::newRow("mandatory declined") << yes.arg("3.0.0", "12", "1") << L{MessageAnswer::No}
                                            << QStringList{Offer("3.0.0")} << true << none;
        QTest::newRow("empty must declined")
            << yes.arg("3.0.0", "12", "\"\"") << L{MessageAnswer::No} << QStringList{Offer("3.0.0")}
            << true << none;
        QTest::newRow("malformed: html page") << QStringLiteral("<html>502 Bad Gateway</html>")
                                              << L{} << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: array")
            << QStringLiteral("[1,2]") << L{} << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: no result")
            << QStringLiteral(R"({"info":{"version":"2.1.0","sid":"1","must":"0"}})") << L{}
            << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: null result") << QStringLiteral(R"({"result":null})") << L{}
                                                << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: refusal without message")
            << QStringLiteral(R"({"result":0})") << L{} << QStringList{kUnreachable} << true
            << none;
        QTest::newRow("malformed: no info") << QStringLiteral(R"({"result":1})") << L{}
                                            << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: info without must")
            << QStringLiteral(R"({"result":1,"info":{"version":"2.1.0","sid":"1"}})") << L{}
            << QStringList{kUnreachable} << true << none;
        QTest::newRow("malformed: null version")
            << QStringLiteral(R"({"result":1,"info":{"version":null,"sid":"1","must":"0"}})") << L{}
            << QStringList{kUnreachable} << true << none;
    }

    void outcomes() {
        QFETCH(QString, answer);
        QFETCH(QList<MessageAnswer>, answers);
        QFETCH(QStringList, boxes);
        QFETCH(bool, ended);
        QFETCH(QStringList, browser);

        Rig rig(answer);
        for (const MessageAnswer answer : answers) {
            rig.window.script.answers.append(answer);
        }
        QVERIFY(rig.window.fireTimer(TimerId::Timer2));

        QStringList shown;
        for (const FakeWindow::Message &message : rig.window.messages) {
            shown.append(message.text);
            QCOMPARE(message.title, QStringLiteral("提示"));
            const bool offer = message.text.startsWith(QStringLiteral("发现最新版本"));
            QCOMPARE(message.buttons, offer ? MessageButtons::YesNo : MessageButtons::Ok);
        }
        QCOMPARE(shown, boxes);
        QCOMPARE(rig.window.ended, ended);
        QCOMPARE(rig.window.browserUrls, browser);
        // Every path either ends or lets the program run, never both and never neither.
        QCOMPARE(rig.initCalls, ended ? 0 : 1);
        QCOMPARE(rig.window.timerEnabled.value(TimerId::Timer2), ended);
    }

    void ticksDuringOrAfterACheckStartNoSecondOne() {
        // A tick that arrives while the first check still waits for its answer.
        Rig nested(QStringLiteral(R"({"result":1,"info":{"version":"2.1.0","sid":"1","must":0}})"));
        nested.duringPost = [&nested] { nested.window.fireTimer(TimerId::Timer2); };
        nested.window.fireTimer(TimerId::Timer2);
        // Timer2 is off after a pass; a stray tick delivered anyway still does nothing.
        nested.check.Timer2_Timer();
        QCOMPARE(nested.posts.size(), 1);
        QCOMPARE(nested.initCalls, 1);

        // The fake's end returns, and Timer2 stays on: the next tick must not ask again.
        Rig ended{QString()};
        ended.window.fireTimer(TimerId::Timer2);
        QVERIFY(ended.window.ended);
        QVERIFY(ended.window.fireTimer(TimerId::Timer2));
        QCOMPARE(ended.posts.size(), 1);
        QCOMPARE(ended.window.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestVersionCheck)
#include "test_version_check.moc"
