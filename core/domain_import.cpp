#include "core/domain_import.h"

#include "core/domain_rules.h"
#include "core/list_text.h"
#include "core/window_ops.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <utility>

namespace shoulu {

namespace {

const QString kDialogTitle = QStringLiteral("请选择要加载的文件");
const QString kDialogFilter = QStringLiteral("文本文件|*.txt");
// Why a file was not read, as panel 2 says it before the path.
const QString kCannotRead = QStringLiteral("无法读取文件:");
const QString kTooLarge = QStringLiteral("文件过大，未加载:");
const QString kNotText = QStringLiteral("不是文本文件，未加载:");

QString FormatHint() {
    return QStringLiteral(
        "请按照如下格式：\r\n\r\n域名前不要加http://与www\r\n一行一个域名，例如：baidu.com");
}

} // namespace

QString OverflowMessage(qsizetype leftOut) {
    return QStringLiteral("列表超过%1个域名的上限，已加载前%1个，其余%2行未加载。")
        .arg(kMaxQueueEntries)
        .arg(leftOut);
}

ListFileContent LoadListFromFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, kCannotRead};
    }
    if (!file.isSequential() && file.size() > kMaxListFileBytes) {
        return {{}, kTooLarge};
    }
    // A pipe or a device has no size to ask first: it is read up to one byte past the limit.
    const QByteArray bytes =
        file.isSequential() ? file.read(kMaxListFileBytes + 1) : file.readAll();
    // Reading cannot tell an error from the end; a folder or a vanished share ends here.
    if (file.error() != QFileDevice::NoError) {
        return {{}, kCannotRead};
    }
    if (bytes.size() > kMaxListFileBytes) {
        return {{}, kTooLarge};
    }
    if (!IsListText(bytes)) {
        return {{}, kNotText};
    }
    return {DecodeListFile(bytes), {}};
}

PreparedLines PrepareImportedLines(TextLines text, qsizetype room) {
    QStringList &lines = text.lines;
    lines.removeIf([](const QString &line) { return line.isEmpty(); });
    for (QString &line : lines) {
        line = NormalizeImportedDomain(line);
    }
    PreparedLines prepared;
    prepared.tooLong = text.tooLong;
    room = std::max<qsizetype>(room, 0);
    if (lines.size() > room) {
        prepared.leftOut = lines.size() - room;
        lines.resize(room);
    }
    prepared.entries = std::move(lines);
    return prepared;
}

void ReportPrepared(WindowOps &window, const QString &done, const PreparedLines &prepared) {
    QString text = done;
    if (prepared.tooLong > 0) {
        const QString tooLong =
            QStringLiteral("%1行超过%2个字符，未加载").arg(prepared.tooLong).arg(kMaxLineLength);
        text = text.isEmpty() ? tooLong : text + QStringLiteral("，另有") + tooLong;
    }
    if (!text.isEmpty()) {
        window.setPanelText(kMessagePanel, text);
    }
    if (prepared.leftOut > 0) {
        window.messageBox(OverflowMessage(prepared.leftOut), kNoticeTitle, MessageButtons::Ok);
    }
}

void Command1_Click(WindowOps &window, const std::function<void(int)> &select,
                    const std::function<void()> &beforeReplace) {
    window.messageBox(FormatHint(), kNoticeTitle, MessageButtons::Ok);
    const std::optional<QString> path =
        window.openFileDialog(kDialogTitle, kDialogFilter, window.programFolder());
    if (path) {
        ImportListFile(window, *path, select, beforeReplace);
    }
}

void ImportListFile(WindowOps &window, const QString &path, const std::function<void(int)> &select,
                    const std::function<void()> &beforeReplace) {
    // Read before clearing: a file that is not read must not cost the user the queue.
    ListFileContent content = LoadListFromFile(path);
    if (!content.notRead.isEmpty()) {
        window.setPanelText(kMessagePanel, content.notRead + QDir::toNativeSeparators(path));
        return;
    }
    if (beforeReplace) {
        beforeReplace();
    }
    // The lines are prepared before they reach the queue: dropping exactly empty lines and
    // normalising one by one in a list view would cost a repaint per entry.
    const PreparedLines prepared = PrepareImportedLines(std::move(content.text));
    window.clearQueue();
    if (prepared.entries.isEmpty()) {
        ReportPrepared(window, QString(), prepared);
        return;
    }
    window.appendQueueEntries(prepared.entries);
    select(window.queueCount() - 1);
    ReportPrepared(window, QStringLiteral("列表加载成功!共%1个域名").arg(window.queueCount()),
                   prepared);
}

} // namespace shoulu
