#pragma once

#include <QByteArray>
#include <QString>

class QTemporaryDir;

namespace shoulu::testing {

// Writes bytes into a file called name in dir and returns its path. A file that cannot be
// written stops the test program: nothing after it would mean anything.
QString WriteTempFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);

// The bytes of the file at path, or "<unreadable>".
QByteArray ReadFileBytes(const QString &path);

} // namespace shoulu::testing
