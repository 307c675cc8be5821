#include "net/md5.h"

#include <QTest>

using namespace shoulu;

class Md5Test : public QObject {
    Q_OBJECT
private slots:
    void vectors_data();
    void vectors();
    void shortFormIsTheMiddle_data();
    void shortFormIsTheMiddle();
    void ansiBytes_data();
    void ansiBytes();
    void unmappableUnitsSharingALowByteCollide();
};

// RFC 1321's suite, a Chinese text (hashed over its GBK bytes) and a query token.
void Md5Test::vectors_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << ""
                           << "D41D8CD98F00B204E9800998ECF8427E";
    QTest::newRow("a") << "a"
                       << "0CC175B9C0F1B6A831C399E269772661";
    QTest::newRow("abc") << "abc"
                         << "900150983CD24FB0D6963F7D28E17F72";
    QTest::newRow("message digest") << "message digest"
                                    << "F96B697D7CB7938D525A2F31AAF161D0";
    QTest::newRow("alphabet") << "abcdefghijklmnopqrstuvwxyz"
                              << "C3FCD3D76192E4007DFB496CCA67E13B";
    QTest::newRow("alphanumeric")
        << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
        << "D174AB98D277D9F5A5611C2C9F419D9F";
    QTest::newRow("digits")
        << "12345678901234567890123456789012345678901234567890123456789012345678901234567890"
        << "57EDF4A22BE3C955AC49DA2E2107B67A";
    QTest::newRow("chinese over GBK") << "中"
                                      << "5301DA37E5FFCA1823A5CEF67488D4BF";
    QTest::newRow("query token: domain then salt") << "example.comlumbe"
                                                   << "B6F9979173C156927062E33A39833D5F";
}

void Md5Test::vectors() {
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(Md5Hex(text, 32), digest);
}

void Md5Test::shortFormIsTheMiddle_data() {
    QTest::addColumn<qint32>("length");
    QTest::newRow("16") << 16;
    QTest::newRow("0") << 0;
    QTest::newRow("64") << 64;
    QTest::newRow("negative") << -1;
    QTest::newRow("31") << 31;
}

void Md5Test::shortFormIsTheMiddle() {
    QFETCH(qint32, length);
    QCOMPARE(Md5Hex(QStringLiteral("abc"), length), QStringLiteral("3CD24FB0D6963F7D"));
}

void Md5Test::ansiBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "a.com" << QByteArray("a.com");
    QTest::newRow("double byte") << "中文" << QByteArray("\xD6\xD0\xCE\xC4");
    QTest::newRow("mixed") << "a中b"
                           << QByteArray("a\xD6\xD0"
                                         "b");
    QTest::newRow("full-width colon") << "：" << QByteArray("\xA3\xBA");
    // GBK writes the euro sign as one byte (0x80): the low byte of U+20AC is used instead.
    QTest::newRow("single byte above 127") << QString(QChar(0x20AC)) << QByteArray("\xAC");
    // Not in GBK at all: the low byte of the unit.
    QTest::newRow("unmappable") << QString(QChar(0x0E01)) << QByteArray("\x01");
    QTest::newRow("latin-1 without GBK form") << QString(QChar(0x00E9)) << QByteArray("\xA8\xA6");
    QTest::newRow("lone surrogates")
        << QString(QChar(0xD83D)) + QChar(0xDE00) << QByteArray("\x3D\x00", 2);
    QTest::newRow("empty") << "" << QByteArray();
}

void Md5Test::ansiBytes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ToAnsiBytes(text), bytes);
}

void Md5Test::unmappableUnitsSharingALowByteCollide() {
    const QString thai(QChar(0x0E01));
    const QString ethiopic(QChar(0x1201));
    QCOMPARE(ToAnsiBytes(thai), ToAnsiBytes(ethiopic));
    QCOMPARE(Md5Hex(thai, 32), Md5Hex(ethiopic, 32));
    QVERIFY(Md5Hex(thai, 32) != Md5Hex(QStringLiteral("中"), 32));
}

QTEST_APPLESS_MAIN(Md5Test)
#include "test_md5.moc"
