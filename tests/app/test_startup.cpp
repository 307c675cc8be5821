#include "app/startup.h"
#include "tests/support/fake_window.h"

#include <QTest>

using shoulu::MessageAnswer;
using shoulu::MessageButtons;
using shoulu::testing::FakeWindow;

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void versionTextHasNoLeadingZerosOrPadding() {
        QCOMPARE(shoulu::VersionText({2, 1, 0}), QStringLiteral("V2.1.0"));
        QCOMPARE(shoulu::VersionText({10, 0, 12}), QStringLiteral("V10.0.12"));
    }

    void skinPathAlwaysUsesForwardSlash() {
        QCOMPARE(shoulu::SkinFilePath(QStringLiteral("/opt/shoulu")),
                 QStringLiteral("/opt/shoulu/skinh.she"));
        QCOMPARE(shoulu::SkinFilePath(QStringLiteral("C:\\Program Files\\shoulu")),
                 QStringLiteral("C:\\Program Files\\shoulu/skinh.she"));
    }

    void closeConfirmationYesEndsNoKeeps() {
        FakeWindow yes;
        yes.messageAnswers = {MessageAnswer::Yes};
        QVERIFY(shoulu::ConfirmClose(yes));
        QVERIFY(yes.ended);
        QCOMPARE(yes.messages.size(), 1);
        QCOMPARE(yes.messages[0].text, QStringLiteral("确定退出软件吗?"));
        QCOMPARE(yes.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(yes.messages[0].buttons, MessageButtons::YesNo);

        FakeWindow no;
        no.queue = {QStringLiteral("a.com")};
        no.messageAnswers = {MessageAnswer::No};
        QVERIFY(!shoulu::ConfirmClose(no));
        QVERIFY(!no.ended);
        QCOMPARE(no.queue, QStringList{QStringLiteral("a.com")});
        QCOMPARE(no.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
