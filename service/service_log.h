#pragma once

#include <QByteArray>
#include <QString>

namespace shoulu {

// Sends the request lines to FILE instead of stderr. Past maxBytes the file is renamed to
// FILE.1 (replacing the older one) and started anew, so the log never takes more than twice
// maxBytes; when FILE.1 cannot be replaced, FILE grows on rather than lose lines. On failure,
// error says why.
bool LogRequestsToFile(const QString &path, qint64 maxBytes, QString *error);

// One log line: time, method, path, status and duration, bytes of the method and path outside
// printable ASCII written as %XX. Safe from any thread.
void LogRequest(const QByteArray &method, const QByteArray &path, int status, qint64 nanoseconds);

} // namespace shoulu
