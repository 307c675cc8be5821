// DecodeListFile and SplitLines on arbitrary bytes. Besides crashes it checks that no line holds
// a line break or passes the limit, that the lines put back together give the text, and that
// the lines saved again as UTF-8 or UTF-16 with a byte-order mark read back the same.
#include "core/list_text.h"
#include "tests/fuzz/fuzz_check.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <cstddef>
#include <cstdint>

namespace {

void CheckLines(const shoulu::TextLines &split) {
    for (const QString &line : split.lines) {
        Check(line.size() <= shoulu::kMaxLineLength);
        Check(!line.contains(u'\r') && !line.contains(u'\n'));
    }
}

// Each line break as LF, without the last one: what the lines joined by LF must give.
QString Joined(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text;
}

QByteArray Saved(const QStringList &lines, QStringConverter::Encoding encoding) {
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    QString text;
    for (const QString &line : lines) {
        text += line + QStringLiteral("\r\n");
    }
    return encoder.encode(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const QByteArray data(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    const shoulu::TextLines file = shoulu::DecodeListFile(data);
    CheckLines(file);

    // The same bytes as UTF-16 text, lone surrogates and all.
    const QString text(reinterpret_cast<const QChar *>(bytes), static_cast<qsizetype>(size / 2));
    const shoulu::TextLines split = shoulu::SplitLines(text);
    CheckLines(split);
    if (split.tooLong == 0) {
        Check(split.lines.join(u'\n') == Joined(text));
    }

    // Text that UTF-8 can hold reads back line for line from either kind of Unicode file.
    const QString lines = file.lines.join(u'\n');
    if (file.lines.isEmpty() || QString::fromUtf8(lines.toUtf8()) != lines) {
        return 0;
    }
    for (const auto encoding :
         {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        const shoulu::TextLines again = shoulu::DecodeListFile(Saved(file.lines, encoding));
        Check(again.lines == file.lines && again.tooLong == 0);
    }
    return 0;
}
