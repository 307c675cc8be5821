#include "net/json_access.h"

#include <QTest>

#include <optional>

using shoulu::MemberText;
using shoulu::toObject;

namespace {

const QString kNoText = QStringLiteral("<no text>");

// MemberText's result in one comparable value; kNoText stands for a failed read.
QString Read(const QString &json, const QString &path) {
    const std::optional<QJsonObject> object = toObject(json);
    if (!object) {
        return QStringLiteral("<no object>");
    }
    return MemberText(*object, path).value_or(kNoText);
}

} // namespace

class TestJsonAccess : public QObject {
    Q_OBJECT

private slots:
    void rejectsAnythingButOneObject_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << " \r\n\t ";
        QTest::newRow("html") << "<html><body><h1>502 Bad Gateway</h1></body></html>";
        QTest::newRow("number") << "42";
        QTest::newRow("huge number") << "123456789012345678901234567890";
        QTest::newRow("string") << "\"{}\"";
        QTest::newRow("array") << "[{\"a\":1}]";
        QTest::newRow("null") << "null";
        QTest::newRow("truncated") << "{\"info\":{\"bd\":{\"site\":12";
        QTest::newRow("truncated in a string") << "{\"a\":\"abc";
        QTest::newRow("garbage after") << "{\"a\":1}x";
        QTest::newRow("two objects") << "{\"a\":1}{\"b\":2}";
        QTest::newRow("single quotes") << "{'a':1}";
        QTest::newRow("bare name") << "{a:1}";
        QTest::newRow("trailing comma") << "{\"a\":1,}";
        QTest::newRow("number as a name") << "{1e30:1}";
        QTest::newRow("leading zero") << "{\"a\":012}";
        QTest::newRow("beyond double range") << "{\"a\":1e400}";
    }
    void rejectsAnythingButOneObject() {
        QFETCH(QString, text);
        QVERIFY(!toObject(text).has_value());
    }

    void acceptsWhitespaceAroundAnObject() {
        QVERIFY(toObject(QStringLiteral("{}")).has_value());
        QCOMPARE(Read(QStringLiteral(" \r\n\t{\"a\" : \"b\"}\n\t "), QStringLiteral("a")),
                 QStringLiteral("b"));
    }

    void readsMembersAsText_data() {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");

        const QString answer = QStringLiteral(
            "{\"result\":0,\"info\":{\"web\":{\"domain\":\"example.com\"},\"bd\":{\"site\":1234567,"
            "\"domain\":\"12,345\"},\"so\":{\"site\":\"0\",\"domain\":0},\"bing\":5}}");
        QTest::newRow("empty object") << "{}"
                                      << "info.web.domain" << kNoText;
        QTest::newRow("three levels") << answer << "info.web.domain"
                                      << "example.com";
        QTest::newRow("integer") << answer << "info.bd.site"
                                 << "1234567";
        QTest::newRow("string with comma") << answer << "info.bd.domain"
                                           << "12,345";
        QTest::newRow("zero") << answer << "result"
                              << "0";
        QTest::newRow("string zero") << answer << "info.so.site"
                                     << "0";
        QTest::newRow("step through a number") << answer << "info.bing.site" << kNoText;
        QTest::newRow("missing last") << answer << "info.bd.link" << kNoText;
        QTest::newRow("missing first") << answer << "data.bd.site" << kNoText;
        QTest::newRow("names are case-sensitive") << answer << "Info.web.domain" << kNoText;
        QTest::newRow("no trimming of names") << answer << "info.web.domain " << kNoText;
        QTest::newRow("step through an array") << "{\"a\":[{\"b\":1}]}"
                                               << "a.0.b" << kNoText;
        QTest::newRow("step through a string") << "{\"a\":\"{\\\"b\\\":1}\"}"
                                               << "a.b" << kNoText;
        QTest::newRow("empty name") << "{\"\":{\"b\":\"x\"}}"
                                    << ".b"
                                    << "x";

        QTest::newRow("unescaped string") << "{\"m\":\"\\u4e2d\\u6587 \\\"q\\\" \\\\ \\/ \\n\\t\"}"
                                          << "m"
                                          << "中文 \"q\" \\ / \n\t";
        QTest::newRow("chinese as is") << "{\"message\":\"版本过低\"}"
                                       << "message"
                                       << "版本过低";

        QTest::newRow("2^53 + 1") << "{\"n\":9007199254740993}"
                                  << "n"
                                  << "9007199254740993";
        QTest::newRow("negative") << "{\"n\":-5}"
                                  << "n"
                                  << "-5";
        QTest::newRow("int64 max") << "{\"n\":9223372036854775807}"
                                   << "n"
                                   << "9223372036854775807";
        QTest::newRow("int64 min") << "{\"n\":-9223372036854775808}"
                                   << "n"
                                   << "-9223372036854775808";
        QTest::newRow("int64 max + 1") << "{\"n\":9223372036854775808}"
                                       << "n"
                                       << "9223372036854775808";
        QTest::newRow("30 digits") << "{\"n\":123456789012345678901234567891}"
                                   << "n"
                                   << "123456789012345678901234567891";
        QTest::newRow("30 digits negative") << "{\"n\":-123456789012345678901234567891}"
                                            << "n"
                                            << "-123456789012345678901234567891";
        QTest::newRow("integral with fraction") << "{\"n\":12345678901234567.0}"
                                                << "n"
                                                << "12345678901234567";
        QTest::newRow("integral with exponent") << "{\"n\":1.2345678901234567891e22}"
                                                << "n"
                                                << "12345678901234567891000";
        QTest::newRow("exponent, small") << "{\"n\":15E+2}"
                                         << "n"
                                         << "1500";
        QTest::newRow("fraction cancelled") << "{\"n\":2.50e1}"
                                            << "n"
                                            << "25";
        QTest::newRow("minus zero") << "{\"n\":-0}"
                                    << "n"
                                    << "0";
        QTest::newRow("minus zero fraction") << "{\"n\":-0.0e5}"
                                             << "n"
                                             << "0";
        QTest::newRow("1e300") << "{\"n\":1e300}"
                               << "n"
                               << "1" + QString(300, QLatin1Char('0'));

        // Forms the parser accepts beyond strict JSON; rewriting must not misread them.
        QTest::newRow("no integer part") << "{\"n\":.205e1}"
                                         << "n"
                                         << "2.05";
        QTest::newRow("no integer part, integral") << "{\"n\":.5e1}"
                                                   << "n"
                                                   << "5";
        QTest::newRow("negative, no integer part") << "{\"n\":-.5}"
                                                   << "n"
                                                   << "-0.5";
        QTest::newRow("empty fraction") << "{\"n\":1.}"
                                        << "n"
                                        << "1";
        QTest::newRow("empty fraction, exponent") << "{\"n\":1.e20}"
                                                  << "n"
                                                  << "100000000000000000000";
        QTest::newRow("half") << "{\"n\":0.5}"
                              << "n"
                              << "0.5";
        QTest::newRow("negative fraction") << "{\"n\":-2.25}"
                                           << "n"
                                           << "-2.25";
        QTest::newRow("small") << "{\"n\":1.5e-7}"
                               << "n"
                               << "1.5e-07";
        QTest::newRow("true") << "{\"b\":true}"
                              << "b"
                              << "true";
        QTest::newRow("false") << "{\"b\":false}"
                               << "b"
                               << "false";
        QTest::newRow("null") << "{\"b\":null}"
                              << "b"
                              << "null";
        QTest::newRow("array") << "{\"a\":[1, \"x\", 0.5]}"
                               << "a"
                               << "[1,\"x\",0.5]";
        QTest::newRow("object") << "{\"a\":{\"b\" : 1}}"
                                << "a"
                                << "{\"b\":1}";

        QTest::newRow("later duplicate counts") << "{\"a\":1,\"a\":2}"
                                                << "a"
                                                << "2";
        QTest::newRow("later duplicate object") << "{\"a\":{\"b\":1},\"a\":{\"c\":2}}"
                                                << "a.b" << kNoText;
        QTest::newRow("later duplicate object member") << "{\"a\":{\"b\":1},\"a\":{\"c\":2}}"
                                                       << "a.c"
                                                       << "2";
        QTest::newRow("later duplicate huge") << "{\"a\":99999999999999999999,\"a\":7}"
                                              << "a"
                                              << "7";
        QTest::newRow("earlier duplicate huge") << "{\"a\":7,\"a\":99999999999999999999}"
                                                << "a"
                                                << "99999999999999999999";

        // Number-like text inside strings and names is left alone when numbers are rewritten.
        const QString tricky =
            QStringLiteral("{\"s\":\"x\\\"1e30\\\" "
                           "99999999999999999999\",\"1e30\":1.0e1,\"n\":100000000000000000000}");
        QTest::newRow("string beside a rewritten number") << tricky << "s"
                                                          << "x\"1e30\" 99999999999999999999";
        QTest::newRow("numeric name") << tricky << "1e30"
                                      << "10";
        QTest::newRow("rewritten after a string") << tricky << "n"
                                                  << "100000000000000000000";
    }
    void readsMembersAsText() {
        QFETCH(QString, json);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(Read(json, path), expected);
    }

    void exactIntegersKeepTheRestOfTheObject() {
        const auto object = toObject(QStringLiteral(
            "{\"big\":123456789012345678901234,\"x\":[1.5,\"s\",true],\"y\":{\"z\":-7}}"));
        QVERIFY(object.has_value());
        QCOMPARE(object->size(), 3);
        QCOMPARE(MemberText(*object, QStringLiteral("x")), QStringLiteral("[1.5,\"s\",true]"));
        QCOMPARE(MemberText(*object, QStringLiteral("y.z")), QStringLiteral("-7"));
        QCOMPARE(MemberText(*object, QStringLiteral("big")),
                 QStringLiteral("123456789012345678901234"));
    }

    void findsNamesThatTheParserStoresOddly() {
        // Qt's own lookup misses such a name after parsing; the members beside it are unaffected.
        const QString name = QChar(0xC3) + QString(16, QChar(0xFFFD));
        const QString json = QStringLiteral("{\"%1\":{\"site\":5},\"info\":2}").arg(name);
        QCOMPARE(Read(json, name + QStringLiteral(".site")), QStringLiteral("5"));
        QCOMPARE(Read(json, QStringLiteral("info")), QStringLiteral("2"));
        QCOMPARE(Read(json, name + QStringLiteral("x")), kNoText);
        QCOMPARE(shoulu::MemberValue(*toObject(json), name + QStringLiteral(".site")),
                 std::optional<QJsonValue>(5));
    }

    void readsObjectsBuiltInCode() {
        // Doubles that did not come through toObject.
        QJsonObject object;
        object.insert(QStringLiteral("d"), 1e21);
        object.insert(QStringLiteral("i"), qint64(-42));
        QCOMPARE(MemberText(object, QStringLiteral("d")), QStringLiteral("1000000000000000000000"));
        QCOMPARE(MemberText(object, QStringLiteral("i")), QStringLiteral("-42"));
        QCOMPARE(MemberText(object, QStringLiteral("absent")), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestJsonAccess)
#include "test_json_access.moc"
