#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

namespace shoulu {

// Body bytes to text: a byte-order mark decides first, then the charset named by the
// Content-Type value, else UTF-8. The mark itself is never part of the text.
QString DecodeBody(const QByteArray &body, const QByteArray &contentType);

// Only http and https go out; the stack would also read file:, data: and qrc: addresses.
bool IsHttpUrl(const QUrl &url);

} // namespace shoulu
