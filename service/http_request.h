#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <utility>

namespace shoulu {

// One HTTP/1.x request as it came off the wire; the target is still percent-encoded.
struct HttpRequest {
    QByteArray method;
    // As sent; routing and the log take its path and query, split from it once by the reader.
    QByteArray target;
    QByteArray path;
    QByteArray query;
    QByteArray body;
    bool http10 = false;
    // HTTP/1.1 keeps the connection unless told "close"; HTTP/1.0 only when told "keep-alive".
    bool keepAlive = true;
    bool expectContinue = false;
};

// Reads one request at a time from a connection's bytes. Every limit counts one request alone,
// so requests sent back to back are never added up; what follows a request stays for the next.
class RequestReader {
public:
    enum class Step { NeedMore, Complete, Failed };

    // A target in absolute form must be https:// with one of these authorities ("host:port",
    // in lower case); without any, only the origin form ("/path?query") is taken.
    explicit RequestReader(QByteArrayList ownAuthorities = {})
        : ownAuthorities_(std::move(ownAuthorities)) {}

    // Consumes input from *pos on, as far as the current request goes.
    Step read(const QByteArray &input, qsizetype *pos);
    // The head is complete and the body is still to come.
    bool inBody() const;
    const HttpRequest &request() const { return request_; }
    // Set when read() failed: the status and message of the answer.
    int failStatus() const { return failStatus_; }
    const QString &failMessage() const { return failMessage_; }
    void reset() { *this = RequestReader(std::move(ownAuthorities_)); }

private:
    enum class Phase { RequestLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers };
    enum class Line { Taken, Incomplete, TooLong };

    Line takeLine(const QByteArray &input, qsizetype *pos, qsizetype maxLength, QByteArray *line);
    // Appends at most wanted bytes of the input to the body; returns how many.
    qsizetype takeBody(const QByteArray &input, qsizetype *pos, qint64 wanted);
    Step fail(int status, const QString &message);
    Step requestLine(const QByteArray &line);
    bool splitTarget(QByteArrayView target);
    Step header(const QByteArray &line);
    Step endOfHead();
    Step chunkSize(const QByteArray &line);
    Step expectBody(qint64 size, Phase next);

    QByteArrayList ownAuthorities_;
    Phase phase_ = Phase::RequestLine;
    HttpRequest request_;
    qsizetype headBytes_ = 0;
    int headLines_ = 0;
    qint64 contentLength_ = -1;
    bool chunked_ = false;
    bool close_ = false;
    bool keepAliveAsked_ = false;
    qint64 chunkLeft_ = 0;
    int failStatus_ = 0;
    QString failMessage_;
};

} // namespace shoulu
