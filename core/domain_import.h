#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace shoulu {

class WindowOps;

// The queue's size limit: indexes and counts are signed 16-bit numbers.
inline constexpr int kMaxQueueEntries = 32767;

// Splits file bytes into lines. A UTF-8 or UTF-16 byte-order mark is honoured; otherwise valid
// UTF-8 with non-ASCII bytes is UTF-8 and anything else is GBK. CR LF, CR and LF all end a
// line; a last line without terminator counts.
QStringList DecodeListFile(const QByteArray &bytes);

// Appends every line of the file at path to lines, in file order and unchanged. A file that
// cannot be read adds nothing.
void LoadListFromFile(QStringList &lines, const QString &path);

// The import command: format hint, file dialog, then the queue is replaced by the file's
// lines without empty ones, each normalised, and the last entry is selected.
void Command1_Click(WindowOps &window);

} // namespace shoulu
