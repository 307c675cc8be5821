#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace shoulu {

// GBK (code page 936) through the platform: ICU on Linux, the system's code page on Windows,
// whose Qt has no ICU. One platform file implements these.

// text in GBK; a unit GBK cannot write comes out as one substitute byte.
QByteArray EncodeGbk(QStringView text);

// bytes read as GBK; malformed sequences become substitute characters, and *valid (when
// given) says whether there were none.
QString DecodeGbk(QByteArrayView bytes, bool *valid = nullptr);

// bytes read as GB18030 where the platform has it (ICU, Windows' code page 54936), else as GBK,
// its one- and two-byte part.
QString DecodeGb18030(QByteArrayView bytes);

// Stops the program with a message when GBK cannot be had. The program runs it once at start,
// so such a system fails there rather than with silently wrong queries.
void RequireGbk();
// How that stop is told, which differs by platform.
[[noreturn]] void ReportGbkMissing();

} // namespace shoulu
