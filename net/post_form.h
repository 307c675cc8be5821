#pragma once

#include <QString>

namespace shoulu {

// One POST of EscapeDoubleByte(data) to url with the header
// "CONTENT-TYPE: application/x-www-form-urlencoded"; returns the answer body as text whatever
// the HTTP status, or the empty text when the transfer fails. The calling thread handles no
// events at all until the answer is complete, so no user input and no second request can
// come in between. Same stall limit as HttpGet.
QString PostForm(const QString &url, const QString &data);

// text with every character that GBK writes as two bytes replaced by "%XX%XX" (its lead and
// trail byte in capital hex); every other character is copied unchanged.
QString EscapeDoubleByte(const QString &text);

} // namespace shoulu
