#include "core/domain_import.h"

#include "core/domain_rules.h"
#include "core/window_ops.h"
#include "net/code_page.h"

#include <QFile>
#include <QStringDecoder>

namespace shoulu {

namespace {

const QString kHintTitle = QStringLiteral("提示");
const QString kDialogTitle = QStringLiteral("请选择要加载的文件");
const QString kDialogFilter = QStringLiteral("文本文件|*.txt");

QString FormatHint() {
    return QStringLiteral(
        "请按照如下格式：\r\n\r\n域名前不要加http://与www\r\n一行一个域名，例如：baidu.com");
}

bool IsAscii(const QByteArray &bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) > 0x7F) {
            return false;
        }
    }
    return true;
}

QString DecodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString DecodeText(const QByteArray &bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        return DecodeWith(QStringConverter::Utf8, view.sliced(3));
    }
    if (view.startsWith("\xFF\xFE")) {
        return DecodeWith(QStringConverter::Utf16LE, view.sliced(2));
    }
    if (view.startsWith("\xFE\xFF")) {
        return DecodeWith(QStringConverter::Utf16BE, view.sliced(2));
    }
    if (IsAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString asUtf8 = utf8.decode(view);
    if (!utf8.hasError()) {
        return asUtf8;
    }
    return DecodeGbk(view);
}

QString OverflowMessage(qsizetype leftOut) {
    return QStringLiteral("列表超过%1个域名的上限，已加载前%1个，其余%2行未加载。")
        .arg(kMaxQueueEntries)
        .arg(leftOut);
}

} // namespace

QStringList DecodeListFile(const QByteArray &bytes) {
    const QString text = DecodeText(bytes);
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = text.at(i);
        if (ch != u'\r' && ch != u'\n') {
            continue;
        }
        lines.append(text.sliced(start, i - start));
        if (ch == u'\r' && i + 1 < size && text.at(i + 1) == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < size) {
        lines.append(text.sliced(start));
    }
    return lines;
}

void LoadListFromFile(QStringList &lines, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    lines.append(DecodeListFile(file.readAll()));
}

void Command1_Click(WindowOps &window) {
    window.messageBox(FormatHint(), kHintTitle, MessageButtons::Ok);
    const std::optional<QString> path =
        window.openFileDialog(kDialogTitle, kDialogFilter, window.programFolder());
    if (!path) {
        return;
    }
    window.clearQueue();

    // The lines are prepared before they reach the queue: dropping exactly empty lines and
    // normalising one by one in a list view would cost a repaint per entry.
    QStringList lines;
    LoadListFromFile(lines, *path);
    lines.removeIf([](const QString &line) { return line.isEmpty(); });
    for (QString &line : lines) {
        line = NormalizeImportedDomain(line);
    }
    const qsizetype leftOut = lines.size() > kMaxQueueEntries ? lines.size() - kMaxQueueEntries : 0;
    if (leftOut > 0) {
        lines.resize(kMaxQueueEntries);
    }
    if (lines.isEmpty()) {
        return;
    }
    window.appendQueueEntries(lines);

    window.setSelectedIndex(window.queueCount() - 1);
    window.setPanelText(2, QStringLiteral("列表加载成功!共%1个域名").arg(window.queueCount()));
    if (leftOut > 0) {
        window.messageBox(OverflowMessage(leftOut), kHintTitle, MessageButtons::Ok);
    }
}

} // namespace shoulu
