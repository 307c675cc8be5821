#include "core/domain_import.h"
#include "net/code_page.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace shoulu;
using shoulu::testing::FakeWindow;

namespace {

const QString kHint = QStringLiteral(
    "请按照如下格式：\r\n\r\n域名前不要加http://与www\r\n一行一个域名，例如：baidu.com");

// Records panel 2 as it stood when each message box was shown.
class OrderRecordingWindow : public FakeWindow {
public:
    QStringList panel2AtMessage;
    MessageAnswer messageBox(const QString &text, const QString &title,
                             MessageButtons buttons) override {
        panel2AtMessage.append(panels[2]);
        return FakeWindow::messageBox(text, title, buttons);
    }
};

} // namespace

class DomainImportTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void hintAndDialogComeFirst();
    void cancelLeavesEverythingAsItWas();
    void normalisesAndCountsEveryEntry();
    void keepsSpacesDuplicatesAndCapitals();
    void emptyEntriesMadeByNormalisationStay();
    void lineEnds_data();
    void lineEnds();
    void encodings_data();
    void encodings();
    void nothingLoadedKeepsOldStatus_data();
    void nothingLoadedKeepsOldStatus();
    void oversizedListIsCutWithAMessage();
    void overlongLinesAreLeftOut_data();
    void overlongLinesAreLeftOut();
    void selectionRunsTheHandlerOnce();

private:
    QString writeFile(const QByteArray &bytes);
    OrderRecordingWindow *importBytes(const QByteArray &bytes);

    QTemporaryDir dir_;
    int fileCounter_ = 0;
    std::unique_ptr<OrderRecordingWindow> window_;
    QList<int> selects_; // what the import asked Form1 to select

    void runImport() {
        Command1_Click(*window_, [this](int index) {
            selects_.append(index);
            window_->highlightQueueEntry(index);
        });
    }
};

void DomainImportTest::init() {
    window_ = std::make_unique<OrderRecordingWindow>();
    selects_.clear();
}

QString DomainImportTest::writeFile(const QByteArray &bytes) {
    return testing::WriteTempFile(dir_, QStringLiteral("list%1.txt").arg(++fileCounter_), bytes);
}

OrderRecordingWindow *DomainImportTest::importBytes(const QByteArray &bytes) {
    window_->script.answers.append(testing::ChooseFile{writeFile(bytes)});
    runImport();
    return window_.get();
}

void DomainImportTest::hintAndDialogComeFirst() {
    window_->folder = QStringLiteral("/opt/shoulu");
    runImport();
    QCOMPARE(window_->messages.size(), 1);
    QCOMPARE(window_->messages[0].text, kHint);
    QCOMPARE(window_->messages[0].title, QStringLiteral("提示"));
    QCOMPARE(window_->messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(window_->fileDialogs.size(), 1);
    QCOMPARE(window_->fileDialogs[0].title, QStringLiteral("请选择要加载的文件"));
    QCOMPARE(window_->fileDialogs[0].filter, QStringLiteral("文本文件|*.txt"));
    QCOMPARE(window_->fileDialogs[0].initialFolder, QStringLiteral("/opt/shoulu"));
}

void DomainImportTest::cancelLeavesEverythingAsItWas() {
    window_->queue = {QStringLiteral("a.com"), QStringLiteral("b.com")};
    window_->selected = 0;
    window_->panels[2] = QStringLiteral("old");
    window_->script.answers.append(testing::CancelFile{});
    runImport();
    QCOMPARE(window_->queue, QStringList({"a.com", "b.com"}));
    QCOMPARE(window_->selected, 0);
    QCOMPARE(window_->panels[2], QStringLiteral("old"));
    QVERIFY(selects_.isEmpty());
    QCOMPARE(window_->messages.size(), 1);
}

void DomainImportTest::normalisesAndCountsEveryEntry() {
    auto *w = importBytes("http://www.example.com\r\nwww.example.com\r\nexample.com\r\n");
    QCOMPARE(w->queue, QStringList({"example.com", "example.com", "example.com"}));
    QCOMPARE(w->selected, 2);
    QCOMPARE(w->panels[2], QStringLiteral("列表加载成功!共3个域名"));
    QCOMPARE(w->messages.size(), 1); // the hint only
}

void DomainImportTest::keepsSpacesDuplicatesAndCapitals() {
    auto *w = importBytes("  \r\nWWW.EXAMPLE.COM\r\nhttps://example.com\r\na.com\r\na.com\r\n"
                          " www.b.com\r\n");
    QCOMPARE(w->queue, QStringList({"  ", "WWW.EXAMPLE.COM", "https://example.com", "a.com",
                                    "a.com", " www.b.com"}));
    QCOMPARE(w->panels[2], QStringLiteral("列表加载成功!共6个域名"));
}

void DomainImportTest::emptyEntriesMadeByNormalisationStay() {
    auto *w = importBytes("www.\r\n\r\nhttp://\r\nx.cn");
    QCOMPARE(w->queue, QStringList({"", "", "x.cn"}));
    QCOMPARE(w->panels[2], QStringLiteral("列表加载成功!共3个域名"));
}

void DomainImportTest::lineEnds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("a.com\r\nb.com\r\n");
    QTest::newRow("lone CR") << QByteArray("a.com\rb.com\r");
    QTest::newRow("lone LF") << QByteArray("a.com\nb.com\n");
    QTest::newRow("no final terminator") << QByteArray("a.com\r\nb.com");
    QTest::newRow("mixed with blank lines") << QByteArray("\n\na.com\r\r\n\nb.com\n\r\n");
    QTest::newRow("LF CR is two line ends") << QByteArray("a.com\n\rb.com");
}

void DomainImportTest::lineEnds() {
    QFETCH(QByteArray, bytes);
    QCOMPARE(importBytes(bytes)->queue, QStringList({"a.com", "b.com"}));
}

void DomainImportTest::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QStringList chinese = {QStringLiteral("中文.com"), QStringLiteral("a.cn")};
    // Not valid UTF-8, so the file is read as GBK.
    QTest::newRow("GBK") << QByteArray("\xD6\xD0\xCE\xC4.com\r\na.cn") << chinese;
    QTest::newRow("UTF-8") << QByteArray("中文.com\r\na.cn") << chinese;
    // Each name read as written in both encodings: UTF-8 Chinese often reads as valid GBK made of
    // CJK ("百度" as "鐧惧害"), and GBK "学习" and "实业" read as valid UTF-8 made of rare letters.
    const QStringList names =
        QStringLiteral(
            "百度.com 新浪.com 上海.cn 深圳.net 网址导航.cn 学习.cn 实业.com 中国.cn 北京.cn "
            "广州.com "
            "淘宝.com 京东.com 网易.com 搜狐.com 阿里巴巴.cn 中国移动.cn 人民网.cn 天猫.com "
            "美团外卖.cn "
            "苏宁易购.com 小米科技.cn 清华大学.cn 汽车之家.com 学习强国.cn 北京师范大学.cn")
            .split(u' ');
    for (const QString &name : names) {
        QTest::addRow("%s GBK", qPrintable(name)) << EncodeGbk(name) << QStringList{name};
        QTest::addRow("%s UTF-8", qPrintable(name)) << name.toUtf8() << QStringList{name};
    }
    QTest::newRow("GBK that is valid UTF-8")
        << QByteArray("\xD1\xA7\xCF\xB0.cn\r\n\xCA\xB5\xD2\xB5.com")
        << QStringList{"学习.cn", "实业.com"};
    QTest::newRow("UTF-8 accents")
        << QByteArray("café.com\r\nmünchen.de") << QStringList{"café.com", "münchen.de"};
    QTest::newRow("UTF-8 CJK punctuation")
        << QByteArray("网站，收录。com") << QStringList{"网站，收录。com"};
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBFwww.中文.com\r\na.cn") << chinese;
    QTest::newRow("UTF-8 BOM ascii")
        << QByteArray("\xEF\xBB\xBFhttp://a.cn") << QStringList{QStringLiteral("a.cn")};
    QString text = QStringLiteral("中文.com\r\na.cn");
    QByteArray le("\xFF\xFE");
    QByteArray be("\xFE\xFF");
    for (const QChar ch : text) {
        le.append(static_cast<char>(ch.unicode() & 0xFF))
            .append(static_cast<char>(ch.unicode() >> 8));
        be.append(static_cast<char>(ch.unicode() >> 8))
            .append(static_cast<char>(ch.unicode() & 0xFF));
    }
    QTest::newRow("UTF-16LE BOM") << le << chinese;
    QTest::newRow("UTF-16BE BOM") << be << chinese;
    // A GBK lead byte without a valid trail byte still leaves the other lines intact.
    const QByteArray badGbk("\x81\x20x.com\r\nb.com\r\n\xFF");
    QTest::newRow("invalid GBK") << badGbk << QStringList{};
}

void DomainImportTest::encodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    const QStringList queue = importBytes(bytes)->queue;
    if (expected.isEmpty()) { // only the well-formed line is known exactly
        QCOMPARE(queue.size(), 3);
        QVERIFY(queue[0].endsWith(QStringLiteral("x.com")));
        QCOMPARE(queue[1], QStringLiteral("b.com"));
        return;
    }
    QCOMPARE(queue, expected);
}

void DomainImportTest::nothingLoadedKeepsOldStatus_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("notRead"); // what panel 2 says before the path; empty: read
    QTest::newRow("empty file") << 0 << "";
    QTest::newRow("only empty lines") << 1 << "";
    QTest::newRow("missing path") << 2 << "无法读取文件:";
    QTest::newRow("directory") << 3 << "无法读取文件:";
    QTest::newRow("binary") << 4 << "不是文本文件，未加载:";
    QTest::newRow("larger than any list") << 5 << "文件过大，未加载:";
}

void DomainImportTest::nothingLoadedKeepsOldStatus() {
    QFETCH(int, kind);
    QFETCH(QString, notRead);
    window_->queue = {QStringLiteral("old.com")};
    window_->selected = 0;
    window_->panels[2] = QStringLiteral("before");
    QString path;
    switch (kind) {
    case 0:
        path = writeFile(QByteArray());
        break;
    case 1:
        path = writeFile("\r\n\r\n\n\r");
        break;
    case 2:
        path = dir_.filePath(QStringLiteral("missing.txt"));
        break;
    case 4: { // a picture renamed: lines of text between its NUL bytes
        static const char png[] = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\r\na.com\r\n";
        path = writeFile(QByteArray(png, sizeof png - 1));
        break;
    }
    case 5: {
        path = writeFile("a.com\r\n");
        QFile file(path);
        QVERIFY(file.resize(kMaxListFileBytes + 1)); // sparse where the file system allows
        break;
    }
    default:
        path = dir_.path();
        break;
    }
    window_->script.answers.append(testing::ChooseFile{path});
    runImport();
    // A file read replaces the queue even when it holds nothing; one not read keeps it.
    const bool read = notRead.isEmpty();
    QCOMPARE(window_->queue, read ? QStringList() : QStringList{QStringLiteral("old.com")});
    QVERIFY(selects_.isEmpty());
    QCOMPARE(window_->panels[2],
             read ? QStringLiteral("before") : notRead + QDir::toNativeSeparators(path));
    QCOMPARE(window_->messages.size(), 1); // no error box, only the hint
}

void DomainImportTest::oversizedListIsCutWithAMessage() {
    QByteArray bytes;
    for (int i = 0; i < 40000; ++i) {
        bytes.append("d").append(QByteArray::number(i)).append(".com\r\n");
        if (i % 100 == 0) {
            bytes.append("\r\n"); // empty lines do not count towards the limit
        }
    }
    auto *w = importBytes(bytes);
    QCOMPARE(w->queueCount(), kMaxQueueEntries);
    QCOMPARE(w->queue.last(), QStringLiteral("d32766.com"));
    QCOMPARE(w->selected, kMaxQueueEntries - 1);
    QCOMPARE(w->panels[2], QStringLiteral("列表加载成功!共32767个域名"));
    QCOMPARE(w->messages.size(), 2);
    QCOMPARE(w->messages[1].title, QStringLiteral("提示"));
    QCOMPARE(w->messages[1].buttons, MessageButtons::Ok);
    QVERIFY2(w->messages[1].text.contains(QStringLiteral("7233")), qPrintable(w->messages[1].text));
    QCOMPARE(w->panel2AtMessage[1], QStringLiteral("列表加载成功!共32767个域名"));
}

void DomainImportTest::overlongLinesAreLeftOut_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("queue");
    QTest::addColumn<QString>("status");
    QTest::newRow("among domains")
        << QByteArray(4097, 'x') + "\r\na.com\r\n" + QByteArray(4097, 'y') << QStringList{"a.com"}
        << "列表加载成功!共1个域名，另有2行超过4096个字符，未加载";
    QTest::newRow("alone") << QByteArray(4097, 'x') << QStringList{} << "1行超过4096个字符，未加载";
}

void DomainImportTest::overlongLinesAreLeftOut() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, queue);
    QFETCH(QString, status);
    auto *w = importBytes(bytes);
    QCOMPARE(w->queue, queue);
    QCOMPARE(w->panels[2], status);
    QCOMPARE(w->messages.size(), 1); // the hint only
}

void DomainImportTest::selectionRunsTheHandlerOnce() {
    importBytes("a.com\r\nb.com\r\nc.com");
    QCOMPARE(selects_, QList<int>{2});
}

QTEST_APPLESS_MAIN(DomainImportTest)
#include "test_domain_import.moc"
