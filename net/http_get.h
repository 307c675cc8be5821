#pragma once

#include <QString>

namespace shoulu {

struct HttpResult;

// One GET of url with the single header "If-Modified-Since: 0" through the program's
// HttpClient; the answer body whatever the HTTP status, and why there is none when the request
// failed. Events keep being processed while it waits, so a handler run meanwhile may call it
// again; that inner call returns first.
HttpResult FetchGet(const QString &url);

// FetchGet's body: the empty text when the request failed.
QString HttpGet(const QString &url);

} // namespace shoulu
