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
    // Where the file is next moved aside: past maxBytes, or a cap further after a failed move.
    qint64 moveAt = 0;
    bool moveFailed = false;
};

// The worker threads log at once; a line is written whole, and the file moved aside once.
QMutex sinkMutex;

std::unique_ptr<LogFile> &Sink() {
    static std::unique_ptr<LogFile> sink;
    return sink;
}

// Moves the file to FILE.1 and starts it afresh. When FILE.1 cannot be replaced, the file goes
// on growing instead, so no line is lost, and that is said once.
void MoveAside(LogFile &sink) {
    const QString path = sink.file.fileName();
    const QString old = path + QStringLiteral(".1");
    sink.file.close();
    QFile::remove(old);
    if (QFile::rename(path, old)) {
        sink.size = 0;
        sink.moveAt = sink.maxBytes;
    } else {
        if (!sink.moveFailed) {
            std::fprintf(stderr,
                         "shoulu-service: cannot move %s to %s; the log grows past its cap\n",
                         qUtf8Printable(path), qUtf8Printable(old));
        }
        sink.moveFailed = true;
        sink.moveAt = sink.size + sink.maxBytes;
    }
    sink.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

// Bytes outside printable ASCII as %XX: a client's CR or escape sequence must not rewrite the
// line on a terminal, nor a NUL cut it short.
QByteArray Printable(const QByteArray &text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > ' ' && byte < 0x7f) {
            out += c;
        } else {
            out += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        }
    }
    return out;
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
    sink->moveAt = maxBytes;
    Sink() = std::move(sink);
    return true;
}

void LogRequest(const QByteArray &method, const QByteArray &path, int status, qint64 nanoseconds) {
    const QByteArray line =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
        Printable(method) + ' ' + Printable(path) + ' ' + QByteArray::number(status) + ' ' +
        QByteArray::number(static_cast<double>(nanoseconds) / 1e6, 'f', 3) + "ms\n";
    const QMutexLocker lock(&sinkMutex);
    LogFile *sink = Sink().get();
    if (!sink) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        return;
    }
    if (sink->size + line.size() > sink->moveAt) {
        MoveAside(*sink);
    }
    sink->size += qMax<qint64>(0, sink->file.write(line));
}

} // namespace shoulu
