#pragma once

#include <QByteArray>
#include <QStringList>
#include <QStringView>

namespace shoulu {

// A domain has at most 253 characters: a longer line is no domain, and one of megabytes would
// stall the list that shows it.
inline constexpr qsizetype kMaxLineLength = 4096;

// The lines of a text; tooLong counts those over kMaxLineLength, which are left out uncopied.
struct TextLines {
    QStringList lines;
    qsizetype tooLong = 0;
};

// CR LF, CR and LF each end a line; a last line without terminator counts.
TextLines SplitLines(QStringView text);

// The lines of list file bytes. A UTF-8 or UTF-16 byte-order mark is honoured; otherwise valid
// UTF-8 holding Chinese, or only accented, Greek or Cyrillic letters, is UTF-8 and anything else
// is GBK.
TextLines DecodeListFile(const QByteArray &bytes);

// Whether bytes can be a list at all: NUL bytes only where a UTF-16 byte-order mark says so
// (a picture or an archive holds them).
bool IsListText(QByteArrayView bytes);

} // namespace shoulu
