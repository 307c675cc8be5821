#include "service/service_log.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>

#include <cstdio>
#include <memory>

namespace shoulu {

namespace {

struct LogFile {
    QFile file;
    qint64 maxBytes = 0;
    // Kept here rather than asked of the file, which costs a system call per line.
    qint64 size = 0;
};

// The worker threads log at once; a line is written whole, and the file moved aside once.
QMutex sinkMutex;

std::unique_ptr<LogFile> &Sink() {
    static std::unique_ptr<LogFile> sink;
    return sink;
}

} // namespace

bool LogRequestsToFile(const QString &path, qint64 maxBytes, QString *error) {
    auto sink = std::make_unique<LogFile>();
    sink->file.setFileName(path);
    sink->maxBytes = maxBytes;
    if (!sink->file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, sink->file.errorString());
        return false;
    }
    sink->size = sink->file.size();
    Sink() = std::move(sink);
    return true;
}

void LogRequest(const QByteArray &method, const QByteArray &path, int status, qint64 nanoseconds) {
    const QByteArray line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() +
                            ' ' + method + ' ' + path + ' ' + QByteArray::number(status) + ' ' +
                            QByteArray::number(static_cast<double>(nanoseconds) / 1e6, 'f', 3) +
                            "ms\n";
    const QMutexLocker lock(&sinkMutex);
    LogFile *sink = Sink().get();
    if (!sink) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        return;
    }
    if (sink->size + line.size() > sink->maxBytes) {
        const QString path = sink->file.fileName();
        const QString old = path + QStringLiteral(".1");
        sink->file.close();
        QFile::remove(old);
        QFile::rename(path, old);
        sink->size = 0;
        if (!sink->file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            return;
        }
    }
    sink->size += qMax<qint64>(0, sink->file.write(line));
}

} // namespace shoulu
