#pragma once

#include <QString>

namespace shoulu {

// One GET of url with the single header "If-Modified-Since: 0"; returns the answer body as
// text whatever the HTTP status, or the empty text when the transfer fails. Events keep being
// processed while it waits, so a handler run meanwhile may call HttpGet again; that inner call
// returns first. Gives up after the stall limit of transfer.h without progress.
QString HttpGet(const QString &url);

} // namespace shoulu
