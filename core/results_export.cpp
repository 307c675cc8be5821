#include "core/results_export.h"

#include "core/batch_ledger.h"
#include "core/result_row.h"
#include "core/window_ops.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace shoulu {

namespace {

const QString kSaveTitle = QStringLiteral("导出CSV");
const QString kCsvFilter = QStringLiteral("CSV文件|*.csv");

const QString kCannotCreate =
    QStringLiteral("无法创建文件，请检查文件夹是否存在以及是否有写入权限");
const QString kCannotWrite = QStringLiteral("写入文件失败，磁盘空间可能不足");
const QString kCannotReplace = QStringLiteral("无法替换原文件，它可能正被其他程序打开");

// Our words for the stage that failed, then the system's own.
QString FailureReason(const QString &what, const QSaveFile &file) {
    return what + QStringLiteral("（") + file.errorString() + QStringLiteral("）");
}

QList<int> AllRows(const WindowOps &window) {
    QList<int> rows;
    for (int row = 0; row < window.rowCount(); ++row) {
        rows.append(row);
    }
    return rows;
}

QString FlattenForTab(QString cell) {
    for (QChar &ch : cell) {
        if (ch == u'\t' || ch == u'\r' || ch == u'\n') {
            ch = u' ';
        }
    }
    return cell;
}

// Save dialog, atomic write, then the outcome in panel 2 (done, then the path) or a box.
void ExportRecords(WindowOps &window, const QString &stem, const Records &records,
                   const QString &done) {
    const QString proposed = QDir(window.documentsFolder())
                                 .filePath(ProposedCsvName(stem, QDateTime::currentDateTime()));
    const std::optional<QString> path = window.saveFileDialog(kSaveTitle, kCsvFilter, proposed);
    if (!path) {
        return;
    }
    const QString failure = WriteFileAtomically(*path, CsvBytes(records));
    if (!failure.isEmpty()) {
        window.messageBox(
            QStringLiteral("导出失败：%1\n%2").arg(failure, QDir::toNativeSeparators(*path)),
            kNoticeTitle, MessageButtons::Ok);
        return;
    }
    window.setPanelText(kMessagePanel, done + QDir::toNativeSeparators(*path));
}

} // namespace

QStringList ResultHeadings() {
    return {QStringLiteral("域名"),    QStringLiteral("百度收录"), QStringLiteral("百度反链"),
            QStringLiteral("360收录"), QStringLiteral("360反链"),  QStringLiteral("Bing收录"),
            QStringLiteral("Bing反链")};
}

QStringList FailedHeadings() {
    return {QStringLiteral("域名"), QStringLiteral("原因")};
}

QStringList ResultCells(const QStringList &tableRow) {
    QStringList cells{tableRow.value(0)};
    for (int column = 1; column <= 3; ++column) {
        const QString text = tableRow.value(column);
        const qsizetype at = text.indexOf(kEngineSeparator);
        if (at < 0) {
            cells << text << QString();
        } else {
            cells << text.first(at) << text.sliced(at + kEngineSeparator.size());
        }
    }
    return cells;
}

Records ResultRecords(const WindowOps &window, const QList<int> &rows) {
    Records records;
    records.reserve(rows.size());
    for (const int row : rows) {
        QStringList tableRow;
        for (int column = 0; column <= 3; ++column) {
            tableRow.append(window.rowCell(row, column));
        }
        records.append(ResultCells(tableRow));
    }
    return records;
}

Records FailedRecords(const QList<FailedEntry> &entries) {
    Records records;
    records.reserve(entries.size());
    for (const FailedEntry &entry : entries) {
        records.append({entry.domain, entry.reason});
    }
    return records;
}

QString NeutraliseCell(const QString &cell) {
    if (!cell.isEmpty()) {
        switch (cell.front().unicode()) {
        case u'=':
        case u'+':
        case u'-':
        case u'@':
        case u'\t':
        case u'\r':
            return QLatin1Char('\'') + cell;
        default:
            break;
        }
    }
    return cell;
}

QByteArray CsvBytes(const Records &records) {
    QString text;
    for (const QStringList &record : records) {
        QStringList fields;
        for (const QString &cell : record) {
            QString field = NeutraliseCell(cell);
            if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'))) {
                field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                field = QLatin1Char('"') + field + QLatin1Char('"');
            }
            fields.append(field);
        }
        text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString TabSeparatedText(const Records &records) {
    QString text;
    for (const QStringList &record : records) {
        QStringList cells;
        for (const QString &cell : record) {
            cells.append(FlattenForTab(NeutraliseCell(cell)));
        }
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString WriteFileAtomically(const QString &path, const QByteArray &bytes) {
    if (QFileInfo(path).isDir()) {
        return QStringLiteral("所选路径是一个文件夹");
    }
    QSaveFile file(path);
    // Never fall back to writing the target in place: a failure must leave it as it was.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return FailureReason(kCannotCreate, file);
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = FailureReason(kCannotWrite, file);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return FailureReason(
            file.error() == QFileDevice::RenameError ? kCannotReplace : kCannotWrite, file);
    }
    return {};
}

QString ProposedCsvName(const QString &stem, const QDateTime &now) {
    return stem + QLatin1Char('-') + now.toString(QStringLiteral("yyyyMMdd-HHmm")) +
           QStringLiteral(".csv");
}

void CopySelectedResults(WindowOps &window) {
    const QList<int> rows = window.selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    window.setClipboardText(TabSeparatedText(ResultRecords(window, rows)));
    window.setPanelText(kMessagePanel, QStringLiteral("已复制%1行查询结果").arg(rows.size()));
}

void CopyAllResults(WindowOps &window) {
    const QList<int> rows = AllRows(window);
    window.setClipboardText(
        TabSeparatedText(Records{ResultHeadings()} + ResultRecords(window, rows)));
    window.setPanelText(kMessagePanel, QStringLiteral("已复制全部%1行查询结果").arg(rows.size()));
}

void ExportResults(WindowOps &window) {
    const QList<int> rows = AllRows(window);
    ExportRecords(window, QStringLiteral("收录查询结果"),
                  Records{ResultHeadings()} + ResultRecords(window, rows),
                  QStringLiteral("导出成功!共%1个域名,已保存到:").arg(rows.size()));
}

void ExportFailed(WindowOps &window, const BatchLedger &ledger) {
    const BatchLedger::Tally tally = ledger.tally();
    ExportRecords(window, QStringLiteral("未查到的域名"),
                  Records{FailedHeadings()} + FailedRecords(ledger.listed()),
                  QStringLiteral("导出成功!共%1个未查到的域名").arg(tally.failed) +
                      UnansweredNote(tally) + QStringLiteral(",已保存到:"));
}

void CopyFailed(WindowOps &window, const BatchLedger &ledger) {
    const BatchLedger::Tally tally = ledger.tally();
    window.setClipboardText(TabSeparatedText(FailedRecords(ledger.listed())));
    window.setPanelText(kMessagePanel, QStringLiteral("已复制%1个未查到的域名").arg(tally.failed) +
                                           UnansweredNote(tally));
}

} // namespace shoulu
