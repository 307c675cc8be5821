#pragma once

#include "core/list_text.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace shoulu {

class WindowOps;

// The queue's size limit: indexes and counts are signed 16-bit numbers.
inline constexpr int kMaxQueueEntries = 32767;

// No list fits in more: 32,767 domains of the longest name take 8 MB.
inline constexpr qint64 kMaxListFileBytes = 64 * 1024 * 1024;

// Every line of the file at path, in file order and unchanged; or, when the file is not read,
// why, as panel 2 says it before the path: it cannot be read whole, it is larger than any list,
// or it holds NUL bytes without a UTF-16 byte-order mark (a picture, an archive).
struct ListFileContent {
    TextLines text;
    QString notRead;
};
ListFileContent LoadListFromFile(const QString &path);

// Lines as the queue takes them: exactly empty lines dropped, each line normalised, and no more
// than room entries kept; leftOut counts the lines that did not fit, tooLong those left out for
// their length.
struct PreparedLines {
    QStringList entries;
    qsizetype leftOut = 0;
    qsizetype tooLong = 0;
};
PreparedLines PrepareImportedLines(TextLines text, qsizetype room = kMaxQueueEntries);

// Panel 2 says done (nothing when empty) and how many lines were too long; then a box tells the
// lines the queue had no room for.
void ReportPrepared(WindowOps &window, const QString &done, const PreparedLines &prepared);

// The box text for lines left out because the queue was full.
QString OverflowMessage(qsizetype leftOut);

// The import command: format hint, file dialog, then ImportListFile with the chosen path.
void Command1_Click(WindowOps &window, const std::function<void(int)> &select,
                    const std::function<void()> &beforeReplace = {});

// The queue is replaced by the lines of the file at path without empty ones, each normalised,
// and select(last entry) runs; beforeReplace runs first, once the file has been read. A file
// that is not read leaves the queue as it was and says why in panel 2.
void ImportListFile(WindowOps &window, const QString &path, const std::function<void(int)> &select,
                    const std::function<void()> &beforeReplace = {});

} // namespace shoulu
