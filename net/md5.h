#pragma once

#include <QByteArray>
#include <QString>

namespace shoulu {

// The bytes a text is hashed over: per UTF-16 code unit, its two GBK bytes where GBK writes it
// as two bytes, else the low byte of the unit.
QByteArray ToAnsiBytes(const QString &text);

// MD5 of ToAnsiBytes(text) in capital hex: all 32 characters when length is 32, else the
// middle 16 (characters 9 to 24).
QString Md5Hex(const QString &text, qint32 length);

} // namespace shoulu
