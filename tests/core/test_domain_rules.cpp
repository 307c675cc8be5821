#include "core/domain_rules.h"

#include <QTest>

using namespace shoulu;

class DomainRulesTest : public QObject {
    Q_OBJECT
private slots:
    void suffixAnywhereCaseSensitive_data();
    void suffixAnywhereCaseSensitive();
    void httpScheme_data();
    void httpScheme();
    void wwwPrefix_data();
    void wwwPrefix();
    void normalize_data();
    void normalize();
};

void DomainRulesTest::suffixAnywhereCaseSensitive_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << "example.com" << true;
    QTest::newRow("not at end") << "example.com.xyz" << true;
    QTest::newRow("inside a label: com") << "community.test" << true;
    QTest::newRow("inside a label: me") << "home.test" << true;
    QTest::newRow("inside a label: cc") << "cctv.test" << true;
    QTest::newRow("info") << "a.info" << true;
    QTest::newRow("hk") << "a.hk" << true;
    QTest::newRow("every other suffix: cn") << "x.cn" << true;
    QTest::newRow("org") << "x.org" << true;
    QTest::newRow("net") << "x.net" << true;
    QTest::newRow("capitals") << "EXAMPLE.COM" << false;
    QTest::newRow("unlisted") << "site.io" << false;
    QTest::newRow("too short") << "a.b" << false;
    QTest::newRow("spaces") << "   " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("split by a space") << "c om" << false;
}

void DomainRulesTest::suffixAnywhereCaseSensitive() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(HasDomainSuffix(text), expected);
}

void DomainRulesTest::httpScheme_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("leading") << "http://example.com" << true;
    QTest::newRow("anywhere") << "example.com/?u=http://x" << true;
    QTest::newRow("https is not http://") << "https://example.com" << false;
    QTest::newRow("capitals") << "HTTP://example.com" << false;
    QTest::newRow("missing slash") << "http:/example.com" << false;
    QTest::newRow("empty") << "" << false;
}

void DomainRulesTest::httpScheme() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(HasHttpScheme(text), expected);
}

void DomainRulesTest::wwwPrefix_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("prefix") << "www.example.com" << true;
    QTest::newRow("exactly www.") << "www." << true;
    QTest::newRow("leading space") << " www.example.com" << false;
    QTest::newRow("capitals") << "WWW.example.com" << false;
    QTest::newRow("not first") << "a.www.example.com" << false;
    QTest::newRow("shorter than four") << "www" << false;
    QTest::newRow("empty") << "" << false;
}

void DomainRulesTest::wwwPrefix() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(HasWwwPrefix(text), expected);
}

void DomainRulesTest::normalize_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("scheme and prefix") << "http://www.example.com"
                                       << "example.com";
    QTest::newRow("prefix then scheme") << "www.http://example.com"
                                        << "example.com";
    QTest::newRow("one pass, no rescan") << "hthttp://tp://x.cn"
                                         << "http://x.cn";
    QTest::newRow("every scheme removed") << "http://a.com/http://b"
                                          << "a.com/b";
    QTest::newRow("prefix dropped once") << "www.www.example.com"
                                         << "www.example.com";
    QTest::newRow("https kept") << "https://example.com"
                                << "https://example.com";
    QTest::newRow("capital scheme kept") << "HTTP://example.com"
                                         << "HTTP://example.com";
    QTest::newRow("capital prefix kept") << "WWW.example.com"
                                         << "WWW.example.com";
    QTest::newRow("www. becomes empty") << "www."
                                        << "";
    QTest::newRow("http:// becomes empty") << "http://"
                                           << "";
    QTest::newRow("spaces kept") << "  "
                                 << "  ";
    QTest::newRow("leading space blocks the prefix") << " www.a.com"
                                                     << " www.a.com";
}

void DomainRulesTest::normalize() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(NormalizeImportedDomain(text), expected);
}

QTEST_APPLESS_MAIN(DomainRulesTest)
#include "test_domain_rules.moc"
