#pragma once

#include <QString>

namespace shoulu {

struct HttpResult;

// One POST of EscapeDoubleByte(data) to url with the header
// "CONTENT-TYPE: application/x-www-form-urlencoded" through the program's HttpClient; the
// answer body whatever the HTTP status, and why there is none when the request failed. The
// calling thread handles no events at all until the answer is complete, so no user input and
// no second request can come in between.
HttpResult FetchPost(const QString &url, const QString &data);

// FetchPost's body: the empty text when the request failed.
QString PostForm(const QString &url, const QString &data);

// text with every character that GBK writes as two bytes replaced by "%XX%XX" (its lead and
// trail byte in capital hex); every other character is copied unchanged.
QString EscapeDoubleByte(const QString &text);

} // namespace shoulu
