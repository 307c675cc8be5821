#pragma once

#include "service/limits.h"
#include "service/service_logic.h"

#include <QHostAddress>
#include <QString>

#include <optional>

class QCoreApplication;

namespace shoulu {

// The command line of shoulu-service.
struct ServiceOptions {
    // Set for "import FILE.csv": the file becomes the store's content, and nothing is served.
    QString importPath;
    bool merge = false;
    QString db;
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 18443;
    QString certPath;
    QString keyPath;
    VersionSettings version;
    ConnectionLimits limits;
    QString logFile;
    qint64 logMaxBytes = kDefaultLogBytes;
};

// Reads the command line; --help prints the options and exits. Nothing when it makes no sense,
// after saying why on stderr.
std::optional<ServiceOptions> ParseServiceOptions(const QCoreApplication &app);

// One line on stderr, after the program's name.
void SayOnStderr(const QString &message);

} // namespace shoulu
