#include "core/queue_tools.h"

#include "core/domain_import.h"
#include "core/list_text.h"
#include "core/window_ops.h"

#include <QSet>

namespace shoulu {

namespace {

QStringList QueueEntries(const WindowOps &window) {
    QStringList entries;
    const int count = window.queueCount();
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entries.append(window.queueEntry(i));
    }
    return entries;
}

} // namespace

void PasteDomains(WindowOps &window) {
    PasteText(window, window.clipboardText(), TextSource::Clipboard);
}

void PasteText(WindowOps &window, const QString &text, TextSource source) {
    const bool dropped = source == TextSource::Drop;
    // The text is split in one pass; a line no domain can be is never copied.
    const PreparedLines prepared =
        PrepareImportedLines(SplitLines(text), kMaxQueueEntries - window.queueCount());
    QString done;
    if (!prepared.entries.isEmpty()) {
        window.appendQueueEntries(prepared.entries);
        done = (dropped ? QStringLiteral("拖入成功!添加%1个域名,共%2个域名")
                        : QStringLiteral("粘贴成功!添加%1个域名,共%2个域名"))
                   .arg(prepared.entries.size())
                   .arg(window.queueCount());
    } else if (prepared.leftOut == 0) {
        done = dropped ? QStringLiteral("拖入的文本中没有可添加的域名")
                       : QStringLiteral("剪贴板中没有可添加的域名");
    }
    ReportPrepared(window, done, prepared);
}

void RemoveDuplicateEntries(WindowOps &window) {
    const QStringList entries = QueueEntries(window);
    QStringList kept;
    QSet<QString> seen;
    for (const QString &entry : entries) {
        if (!seen.contains(entry)) {
            seen.insert(entry);
            kept.append(entry);
        }
    }
    const qsizetype removed = entries.size() - kept.size();
    if (removed > 0) {
        // One refill rather than one removal per repeat: a list of thousands stays quick.
        window.clearQueue();
        window.appendQueueEntries(kept);
        window.setPanelText(
            kMessagePanel,
            QStringLiteral("已去除%1个重复域名,剩余%2个域名").arg(removed).arg(kept.size()));
    } else {
        window.setPanelText(kMessagePanel, QStringLiteral("列表中没有重复的域名"));
    }
}

void ClearQueueAsked(WindowOps &window) {
    if (window.messageBox(QStringLiteral("确定要清空域名列表吗?"), kNoticeTitle,
                          MessageButtons::YesNo) != MessageAnswer::Yes) {
        return;
    }
    window.clearQueue();
    window.setPanelText(kMessagePanel, QStringLiteral("域名列表已清空"));
}

} // namespace shoulu
