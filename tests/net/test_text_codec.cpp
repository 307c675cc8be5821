#include "net/code_page.h"
#include "net/post_form.h"
#include "net/transfer.h"

#include <QStringDecoder>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using shoulu::DecodeBody;
using shoulu::EscapeDoubleByte;

// Whether the platform decodes GB18030's four-byte sequences: ICU does, and so does Windows with
// code page 54936, which Wine (8.0) lacks.
static bool HasFourByteGb18030() {
#ifdef Q_OS_WIN
    return IsValidCodePage(54936) != 0;
#else
    return true;
#endif
}

class TestTextCodec : public QObject {
    Q_OBJECT

private slots:
    void escapesDoubleByteCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("product form") << "sn=tandri"
                                      << "sn=tandri";
        QTest::newRow("form punctuation") << "a b&c=d+e%f#g?h\r\n0123456789"
                                          << "a b&c=d+e%f#g?h\r\n0123456789";
        QTest::newRow("two characters") << "中文"
                                        << "%D6%D0%CE%C4";
        QTest::newRow("between letters") << "a中b"
                                         << "a%D6%D0b";
        QTest::newRow("lowest lead and trail") << "丂"
                                               << "%81%40";
        QTest::newRow("latin with a GBK code") << "é"
                                               << "%A8%A6";
        QTest::newRow("ideographic space") << "\u3000"
                                           << "%A1%A1";
        QTest::newRow("full-width letter") << "Ａ"
                                           << "%A3%C1";
        QTest::newRow("euro is one byte in GBK") << "€"
                                                 << "€";
        QTest::newRow("not in GBK") << "\u0100"
                                    << "\u0100";
        QTest::newRow("outside the BMP") << "😀"
                                         << "😀";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QString(QChar(0xD800));
        QTest::newRow("already escaped") << "%D6%D0"
                                         << "%D6%D0";
    }
    void escapesDoubleByteCharacters() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(EscapeDoubleByte(text), expected);
    }

    void escapedBytesDecodeBackAsGbk() {
        const QString text = QStringLiteral("澜序网站收录批量查询器，版本过低！请更新。");
        const QString escaped = EscapeDoubleByte(text);
        QCOMPARE(escaped.size(), text.size() * 6);
        QByteArray bytes;
        for (qsizetype i = 0; i < escaped.size(); i += 3) {
            QCOMPARE(escaped[i], QLatin1Char('%'));
            QCOMPARE(escaped.mid(i + 1, 2), escaped.mid(i + 1, 2).toUpper());
            bytes.append(static_cast<char>(escaped.mid(i + 1, 2).toInt(nullptr, 16)));
        }
        QCOMPARE(shoulu::DecodeGbk(bytes), text);
    }

    void decodesBodiesByCharset_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        const QByteArray gbk = "{\"m\":\"\xD6\xD0\xCE\xC4\"}";
        const QString chinese = QStringLiteral("{\"m\":\"中文\"}");
        QTest::newRow("no content type is UTF-8") << QByteArray("中文") << QByteArray() << "中文";
        QTest::newRow("no charset is UTF-8")
            << QByteArray("中文") << QByteArray("application/json") << "中文";
        QTest::newRow("utf-8") << QByteArray("中文") << QByteArray("text/html; charset=utf-8")
                               << "中文";
        QTest::newRow("GBK") << gbk << QByteArray("application/json; charset=GBK") << chinese;
        QTest::newRow("gb2312") << gbk << QByteArray("text/html;charset=gb2312") << chinese;
        QTest::newRow("gb2312 with GBK-only bytes")
            << QByteArray("\x81\x40") << QByteArray("text/plain; charset=gb2312") << "丂";
        QTest::newRow("quoted, capitals")
            << gbk << QByteArray("text/plain; CHARSET=\"GbK\"; format=flowed") << chinese;
        QTest::newRow("GB18030 four bytes")
            << QByteArray("\x81\x30\x81\x30") << QByteArray("text/plain; charset=GB18030")
            << QString(QChar(0x80));
        QTest::newRow("GB18030 four bytes beyond the BMP")
            << QByteArray("a\x95\x32\x82\x36\xD6\xD0") << QByteArray("text/plain; charset=gb18030")
            << QStringLiteral("a\U00020000中");
        QTest::newRow("other charset")
            << QByteArray("caf\xE9") << QByteArray("text/plain; charset=ISO-8859-1") << "café";
        QTest::newRow("unknown charset is UTF-8")
            << QByteArray("中文") << QByteArray("text/plain; charset=x-unheard-of") << "中文";
        QTest::newRow("UTF-8 mark removed") << QByteArray("\xEF\xBB\xBF{}") << QByteArray() << "{}";
        QTest::newRow("mark wins over the label")
            << QByteArray("\xEF\xBB\xBF中") << QByteArray("text/plain; charset=gbk") << "中";
        QTest::newRow("UTF-16 little-endian mark")
            << QByteArray("\xFF\xFE{\x00}\x00", 6) << QByteArray() << "{}";
        QTest::newRow("empty") << QByteArray() << QByteArray("text/plain; charset=gbk") << "";
    }
    void decodesBodiesByCharset() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        if (QByteArrayView(QTest::currentDataTag()).startsWith("GB18030 four bytes") &&
            !HasFourByteGb18030()) {
            QSKIP("this system has no code page 54936 (GB18030): its four-byte sequences are "
                  "read as GBK");
        }
        QCOMPARE(DecodeBody(body, contentType), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "test_text_codec.moc"
