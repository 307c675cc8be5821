#include "net/md5.h"
#include "service/http_request.h"
#include "service/service_logic.h"
#include "service/store.h"
#include "tests/support/temp_files.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace shoulu;

namespace {

QByteArray Token(const QString &domain) {
    return Md5Hex(domain + QStringLiteral("lumbe"), 32).toLatin1();
}

QByteArray QueryTarget(const QByteArray &encodedUrl, const QByteArray &token) {
    return "/index.php/Index/web_collection?url=" + encodedUrl + "&token=" + token;
}

QJsonObject Json(const Reply &reply) {
    return QJsonDocument::fromJson(reply.body).object();
}

// The request as the reader makes it of a client's bytes.
HttpRequest Request(const QByteArray &method, const QByteArray &target,
                    const QByteArray &body = {}) {
    RequestReader reader;
    const QByteArray bytes = method + ' ' + target +
                             " HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) +
                             "\r\n\r\n" + body;
    qsizetype pos = 0;
    return reader.read(bytes, &pos) == RequestReader::Step::Complete ? reader.request()
                                                                     : HttpRequest();
}

} // namespace

class ServiceLogicTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    CountStore store_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QString error;
        QVERIFY2(store_.open(dir_.filePath(QStringLiteral("t.db")), &error), qPrintable(error));
        const QString csv = testing::WriteTempFile(
            dir_, QStringLiteral("t.csv"),
            "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\r\n"
            "example.com,1234567,89,\"12,345\",7,0,-3\r\n"
            "a&b.com,1,2,3,4,5,6\n"
            "c+d.com,1,1,1,1,1,1\n"
            "\xe4\xb8\xad\xe6\x96\x87.cn,10,20,30,40,50,9007199254740993\n"
            "\xef\xbb\xbf"
            "bom.com,1,1,1,1,1,1\n");
        int imported = 0;
        QVERIFY2(store_.importCsv(csv, ImportMode::Merge, &imported, &error), qPrintable(error));
        QCOMPARE(imported, 5);
    }

    void countValues() {
        QCOMPARE(CountValue(QStringLiteral("1234567")), QJsonValue(qint64(1234567)));
        QCOMPARE(CountValue(QStringLiteral("-3")), QJsonValue(qint64(-3)));
        QCOMPARE(CountValue(QStringLiteral("12,345")), QJsonValue(QStringLiteral("12,345")));
        QCOMPARE(CountValue(QString()), QJsonValue(QString()));
        // Too long for a double to hold exactly: kept as text.
        QCOMPARE(CountValue(QStringLiteral("9007199254740993")),
                 QJsonValue(QStringLiteral("9007199254740993")));
    }

    void goodTokenGivesCounts() {
        ServiceLogic logic({}, &store_);
        const Reply reply =
            logic.handle(Request("GET", QueryTarget("example.com", Token("example.com"))));
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.contentType.startsWith("application/json"));
        const QJsonObject info = Json(reply)[QStringLiteral("info")].toObject();
        QCOMPARE(info[QStringLiteral("web")][QStringLiteral("domain")].toString(),
                 QStringLiteral("example.com"));
        QVERIFY(reply.body.contains("\"site\":1234567"));
        QVERIFY(reply.body.contains("\"site\":\"12,345\""));
        QCOMPARE(info[QStringLiteral("bing")][QStringLiteral("domain")].toInteger(), -3);
        QCOMPARE(info[QStringLiteral("so")][QStringLiteral("domain")].toInteger(), 7);
    }

    // The answer names the domain byte for byte as stored, a leading U+FEFF included.
    void tokenIsCheckedOnTheDecodedValue_data() {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("domain"); // empty: the token is refused
        const QString chinese = QStringLiteral("中文.cn");
        const QString bom = QStringLiteral("\uFEFFbom.com");
        QTest::newRow("ampersand")
            << QByteArray("a%26b.com") << Token("a&b.com") << QStringLiteral("a&b.com");
        QTest::newRow("raw plus") << QByteArray("c+d.com") << Token("c+d.com")
                                  << QStringLiteral("c+d.com");
        QTest::newRow("Chinese") << chinese.toUtf8().toPercentEncoding() << Token(chinese)
                                 << chinese;
        QTest::newRow("stored BOM") << QByteArray("%EF%BB%BFbom.com") << Token(bom) << bom;
        QTest::newRow("token of the encoded form")
            << QByteArray("a%26b.com") << Token("a%26b.com") << QString();
    }
    void tokenIsCheckedOnTheDecodedValue() {
        QFETCH(QByteArray, url);
        QFETCH(QByteArray, token);
        QFETCH(QString, domain);
        ServiceLogic logic({}, &store_);
        const Reply reply = logic.handle(Request("GET", QueryTarget(url, token)));
        // The bytes themselves: Qt's JSON parser would drop the U+FEFF.
        QCOMPARE(reply.body.contains("\"web\":{\"domain\":\"" + domain.toUtf8() + "\"}"),
                 !domain.isEmpty());
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(),
                 domain.isEmpty() ? messages::kBadToken : QString());
    }

    void failedChecksAnswer200WithResultZero_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad token") << QueryTarget("example.com", "00") << messages::kBadToken;
        QTest::newRow("lowercase token")
            << QueryTarget("example.com", Token("example.com").toLower()) << messages::kBadToken;
        QTest::newRow("missing token")
            << QByteArray("/index.php/Index/web_collection?url=example.com") << messages::kBadToken;
        QTest::newRow("unknown domain")
            << QueryTarget("nowhere.com", Token("nowhere.com")) << messages::kUnknownDomain;
        QTest::newRow("case differs")
            << QueryTarget("EXAMPLE.COM", Token("EXAMPLE.COM")) << messages::kUnknownDomain;
        QTest::newRow("BOM before the domain")
            << QueryTarget("%EF%BB%BFexample.com", Token(QStringLiteral("\uFEFFexample.com")))
            << messages::kUnknownDomain;
        QTest::newRow("row stored with its BOM")
            << QueryTarget("bom.com", Token("bom.com")) << messages::kUnknownDomain;
    }
    void failedChecksAnswer200WithResultZero() {
        QFETCH(QByteArray, target);
        QFETCH(QString, message);
        ServiceLogic logic({}, &store_);
        const Reply reply = logic.handle(Request("GET", target));
        QCOMPARE(reply.status, 200);
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(), message);
        QVERIFY(!Json(reply).contains(QStringLiteral("info")));
    }

    void badRequestsGet4xx_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray q = "/index.php/Index/web_collection";
        const QByteArray v = "/index.php/Index/soft_version";
        QTest::newRow("missing url") << QByteArray("GET") << q + "?token=AA" << QByteArray() << 400;
        QTest::newRow("no query") << QByteArray("GET") << q << QByteArray() << 400;
        QTest::newRow("repeated url")
            << QByteArray("GET") << q + "?url=a.com&url=a.com&token=A" << QByteArray() << 400;
        QTest::newRow("repeated token")
            << QByteArray("GET") << q + "?url=a.com&token=A&token=A" << QByteArray() << 400;
        QTest::newRow("malformed escape")
            << QByteArray("GET") << q + "?url=a%2.com&token=A" << QByteArray() << 400;
        QTest::newRow("malformed path")
            << QByteArray("GET") << QByteArray("/a%") << QByteArray() << 400;
        QTest::newRow("unknown path")
            << QByteArray("GET") << QByteArray("/index.php") << QByteArray() << 404;
        QTest::newRow("post to query") << QByteArray("POST") << q << QByteArray() << 405;
        QTest::newRow("get version") << QByteArray("GET") << v << QByteArray() << 405;
        QTest::newRow("missing sn") << QByteArray("POST") << v << QByteArray("x=1") << 400;
        QTest::newRow("repeated sn")
            << QByteArray("POST") << v << QByteArray("sn=tandri&sn=tandri") << 400;
        QTest::newRow("other sid page")
            << QByteArray("GET") << QByteArray("/index.php/Works/detail/sid/19") << QByteArray()
            << 404;
    }
    void badRequestsGet4xx() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        ServiceLogic logic({}, &store_);
        const Reply reply = logic.handle(Request(method, target, body));
        QCOMPARE(reply.status, status);
        QCOMPARE(Json(reply)[QStringLiteral("result")].toInt(-1), 0);
        QVERIFY(!Json(reply)[QStringLiteral("message")].toString().isEmpty());
    }

    void versionAnswers() {
        VersionSettings settings;
        settings.latestVersion = QStringLiteral("2.2.0");
        settings.sid = QStringLiteral("77");
        settings.must = QStringLiteral("1");
        ServiceLogic logic(settings, &store_);
        const QByteArray path = "/index.php/Index/soft_version";
        QJsonObject answer = Json(logic.handle(Request("POST", path, "sn=tandri")));
        QCOMPARE(answer[QStringLiteral("result")].toInt(), 1);
        const QJsonObject info = answer[QStringLiteral("info")].toObject();
        QCOMPARE(info[QStringLiteral("version")].toString(), QStringLiteral("2.2.0"));
        QCOMPARE(info[QStringLiteral("sid")].toString(), QStringLiteral("77"));
        QCOMPARE(info[QStringLiteral("must")].toString(), QStringLiteral("1"));
        answer = Json(logic.handle(Request("POST", path, "sn=other")));
        QCOMPARE(answer[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(answer[QStringLiteral("message")].toString(), messages::kUnknownProduct);
        // The update page follows the configured sid.
        const Reply page = logic.handle(Request("GET", "/index.php/Works/detail/sid/77"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.contentType.startsWith("text/html"));
        QVERIFY(QString::fromUtf8(page.body).contains(QStringLiteral("替身")));
    }

    void refuseFlagRefusesEveryCheck() {
        VersionSettings settings;
        settings.refuse = true;
        settings.refuseMessage = QStringLiteral("停用了");
        ServiceLogic logic(settings, &store_);
        const QJsonObject answer =
            Json(logic.handle(Request("POST", "/index.php/Index/soft_version", "sn=tandri")));
        QCOMPARE(answer[QStringLiteral("result")].toInt(-1), 0);
        QCOMPARE(answer[QStringLiteral("message")].toString(), QStringLiteral("停用了"));
    }

    void homePagesSayTheyAreStandIns() {
        ServiceLogic logic({}, &store_);
        for (const char *path : {"/studio", "/company"}) {
            const Reply reply = logic.handle(Request("GET", path));
            QCOMPARE(reply.status, 200);
            QVERIFY(QString::fromUtf8(reply.body).contains(QStringLiteral("shoulu-service")));
        }
    }

    void storeNeverAnswersNoDataForAnError() {
        CountStore store;
        QString error;
        QVERIFY2(store.open(dir_.filePath(QStringLiteral("t.db")), &error), qPrintable(error));
        ServiceLogic logic({}, &store);
        const HttpRequest query = Request("GET", QueryTarget("example.com", Token("example.com")));
        {
            QSqlDatabase writer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "writer");
            writer.setDatabaseName(dir_.filePath(QStringLiteral("t.db")));
            QVERIFY(writer.open());
            QSqlQuery sql(writer);
            QVERIFY(sql.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(sql.exec(QStringLiteral("DELETE FROM counts")));
            QElapsedTimer clock;
            clock.start();
            // A writer in the middle of its work neither blocks nor hides the stored rows.
            QCOMPARE(Json(logic.handle(query))[QStringLiteral("result")].toInt(), 1);
            QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(sql.exec(QStringLiteral("ROLLBACK")));
            QVERIFY(sql.exec(QStringLiteral("ALTER TABLE counts RENAME TO gone")));
            writer.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
        const Reply reply = logic.handle(query);
        QCOMPARE(reply.status, 503);
        QCOMPARE(Json(reply)[QStringLiteral("message")].toString(), messages::kStoreUnavailable);
    }
};

QTEST_GUILESS_MAIN(ServiceLogicTest)
#include "test_service_logic.moc"
