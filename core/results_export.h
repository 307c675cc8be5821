#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace shoulu {

class WindowOps;
class BatchLedger;
struct FailedEntry;

// One exported line: a list of cells.
using Records = QList<QStringList>;

// Headings of the results export: the domain, then each engine's two counts apart.
QStringList ResultHeadings();
QStringList FailedHeadings();

// A table row (domain and the three "pages / backlinks" texts) as the export's seven cells. An
// engine text is split at its first " / "; a text without one is the first count alone.
QStringList ResultCells(const QStringList &tableRow);
// The given rows of the results table, in that order, as export cells.
Records ResultRecords(const WindowOps &window, const QList<int> &rows);
Records FailedRecords(const QList<FailedEntry> &entries);

// A cell a spreadsheet would run as a formula gets a leading apostrophe.
QString NeutraliseCell(const QString &cell);
// RFC 4180: UTF-8 with a byte-order mark, CR LF after every record, fields quoted when they
// hold a comma, a quote or a line break. Every cell is neutralised first.
QByteArray CsvBytes(const Records &records);
// Tab-separated lines for the clipboard; tabs and line breaks inside a cell become spaces.
QString TabSeparatedText(const Records &records);

// Writes through a temporary file that replaces path only once complete. Returns the reason of
// a failure in Chinese, or the empty text on success.
QString WriteFileAtomically(const QString &path, const QByteArray &bytes);

// "<stem>-yyyyMMdd-HHmm.csv"
QString ProposedCsvName(const QString &stem, const QDateTime &now);

// The menu commands. Each reads what the window holds at that moment and reports in panel 2.
void CopySelectedResults(WindowOps &window);
void CopyAllResults(WindowOps &window);
void ExportResults(WindowOps &window);
// The batch's entries without an answer, as listed: the failures, the entries not reached, then
// the skipped entries.
void ExportFailed(WindowOps &window, const BatchLedger &ledger);
void CopyFailed(WindowOps &window, const BatchLedger &ledger);

} // namespace shoulu
