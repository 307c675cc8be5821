#include "app/startup.h"
#include "tests/support/fake_window.h"

#include <QTest>

using shoulu::MessageAnswer;
using shoulu::MessageButtons;
using shoulu::testing::FakeWindow;

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void skinPathAlwaysUsesForwardSlash() {
        QCOMPARE(shoulu::SkinFilePath(QStringLiteral("/opt/shoulu")),
                 QStringLiteral("/opt/shoulu/skinh.she"));
        QCOMPARE(shoulu::SkinFilePath(QStringLiteral("C:\\Program Files\\shoulu")),
                 QStringLiteral("C:\\Program Files\\shoulu/skinh.she"));
    }

    void closeConfirmationYesEndsNoKeeps() {
        FakeWindow yes;
        yes.script.answers = {MessageAnswer::Yes};
        QVERIFY(shoulu::ConfirmClose(yes));
        QVERIFY(yes.ended);
        QCOMPARE(yes.messages.size(), 1);
        QCOMPARE(yes.messages[0].text, QStringLiteral("确定退出软件吗?"));
        QCOMPARE(yes.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(yes.messages[0].buttons, MessageButtons::YesNo);

        FakeWindow no;
        no.queue = {QStringLiteral("a.com")};
        no.script.answers = {MessageAnswer::No};
        QVERIFY(!shoulu::ConfirmClose(no));
        QVERIFY(!no.ended);
        QCOMPARE(no.queue, QStringList{QStringLiteral("a.com")});
        QCOMPARE(no.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
