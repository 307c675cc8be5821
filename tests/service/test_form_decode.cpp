#include "service/form_decode.h"

#include <QtTest>

using namespace shoulu;

class FormDecodeTest : public QObject {
    Q_OBJECT

private slots:
    void percentDecodeKeepsPlusAndDecodesUtf8() {
        QCOMPARE(PercentDecode("a+b%2Bc"), QStringLiteral("a+b+c"));
        QCOMPARE(PercentDecode("%E4%B8%AD.cn"), QStringLiteral("中.cn"));
        QCOMPARE(PercentDecode("a%26b%25"), QStringLiteral("a&b%"));
        QCOMPARE(PercentDecode(""), QString());
    }

    void percentDecodeRejectsMalformed_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("bad hex") << QByteArray("%zz");
        QTest::newRow("one digit at end") << QByteArray("a%4");
        QTest::newRow("lone percent") << QByteArray("%");
        QTest::newRow("invalid utf-8") << QByteArray("%FF%FE");
        QTest::newRow("truncated utf-8") << QByteArray("%E4%B8");
    }
    void percentDecodeRejectsMalformed() {
        QFETCH(QByteArray, raw);
        QVERIFY(!PercentDecode(raw).has_value());
    }

    void parseFormSplitsFieldsAndFindsRepeats() {
        const auto fields = ParseForm("url=a%26b&&token=T&flag&url=");
        QVERIFY(fields.has_value());
        QCOMPARE(fields->size(), 4);
        QCOMPARE(fields->at(0), FormField(QStringLiteral("url"), QStringLiteral("a&b")));
        QCOMPARE(fields->at(2), FormField(QStringLiteral("flag"), QString()));
        QString value;
        QCOMPARE(FindField(*fields, QStringLiteral("token"), &value), FieldLookup::Found);
        QCOMPARE(value, QStringLiteral("T"));
        QCOMPARE(FindField(*fields, QStringLiteral("url"), &value), FieldLookup::Repeated);
        QCOMPARE(FindField(*fields, QStringLiteral("sn"), &value), FieldLookup::Missing);
        QVERIFY(!ParseForm("url=%G0").has_value());
    }
};

QTEST_GUILESS_MAIN(FormDecodeTest)
#include "test_form_decode.moc"
