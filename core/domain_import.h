#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace shoulu {

class WindowOps;

// The queue's size limit: indexes and counts are signed 16-bit numbers.
inline constexpr int kMaxQueueEntries = 32767;

// Splits file bytes into lines. A UTF-8 or UTF-16 byte-order mark is honoured; otherwise valid
// UTF-8 holding Chinese, or only accented, Greek or Cyrillic letters, is UTF-8 and anything else
// is GBK. CR LF, CR and LF all end a
// line; a last line without terminator counts.
QStringList DecodeListFile(const QByteArray &bytes);

// Appends every line of the file at path to lines, in file order and unchanged. Returns false,
// adding nothing, when the file cannot be read whole.
bool LoadListFromFile(QStringList &lines, const QString &path);

// Raw lines as the queue takes them: exactly empty lines dropped, each line normalised, and no
// more than room entries kept; leftOut counts the lines that did not fit.
struct PreparedLines {
    QStringList entries;
    qsizetype leftOut = 0;
};
PreparedLines PrepareImportedLines(QStringList lines, qsizetype room = kMaxQueueEntries);

// The box text for lines left out because the queue was full.
QString OverflowMessage(qsizetype leftOut);

// The import command: format hint, file dialog, then the queue is replaced by the file's
// lines without empty ones, each normalised, and select(last entry) runs. A file that cannot be
// read leaves the queue as it was and says so in panel 2.
void Command1_Click(WindowOps &window, const std::function<void(int)> &select);

} // namespace shoulu
