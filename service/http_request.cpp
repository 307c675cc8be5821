#include "service/http_request.h"

#include "service/limits.h"

#include <QList>

#include <algorithm>
#include <limits>

namespace shoulu {

namespace {

bool AllOf(QByteArrayView text, bool (*accept)(char)) {
    if (text.isEmpty()) {
        return false;
    }
    for (const char c : text) {
        if (!accept(c)) {
            return false;
        }
    }
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsNameChar(char c) {
    return c > ' ' && c < 0x7f && c != ':';
}

} // namespace

bool RequestReader::inBody() const {
    return phase_ != Phase::RequestLine && phase_ != Phase::Headers;
}

// A line's length leaves out its end, "\r\n" or "\n"; a line still coming in is too long as
// soon as what is there is.
RequestReader::Line RequestReader::takeLine(const QByteArray &input, qsizetype *pos,
                                            qsizetype maxLength, QByteArray *line) {
    const qsizetype end = input.indexOf('\n', *pos);
    const qsizetype stop = end < 0 ? input.size() : end;
    const qsizetype length = stop - *pos - (stop > *pos && input[stop - 1] == '\r' ? 1 : 0);
    if (length > maxLength) {
        return Line::TooLong;
    }
    if (end < 0) {
        return Line::Incomplete;
    }
    *line = input.sliced(*pos, length);
    *pos = end + 1;
    return Line::Taken;
}

qsizetype RequestReader::takeBody(const QByteArray &input, qsizetype *pos, qint64 wanted) {
    const qsizetype taken = qMin<qint64>(wanted, input.size() - *pos);
    request_.body.append(input.sliced(*pos, taken));
    *pos += taken;
    return taken;
}

RequestReader::Step RequestReader::fail(int status, const QString &message) {
    failStatus_ = status;
    failMessage_ = message;
    return Step::Failed;
}

RequestReader::Step RequestReader::read(const QByteArray &input, qsizetype *pos) {
    QByteArray line;
    for (;;) {
        switch (phase_) {
        case Phase::RequestLine:
        case Phase::Headers:
        case Phase::Trailers: {
            const bool first = phase_ == Phase::RequestLine;
            const qsizetype start = *pos;
            const Line taken =
                takeLine(input, pos, first ? kMaxRequestLine : kMaxHeadBytes - headBytes_, &line);
            if (taken == Line::Incomplete) {
                return Step::NeedMore;
            }
            if (taken == Line::TooLong) {
                return first ? fail(414, messages::kBadRequest)
                             : fail(431, messages::kHeadersTooLarge);
            }
            // The empty line after the trailers ends the body; every other line, with its end,
            // is part of the head.
            if (phase_ == Phase::Trailers && line.isEmpty()) {
                return Step::Complete;
            }
            headBytes_ += *pos - start;
            if (headBytes_ > kMaxHeadBytes || ++headLines_ > kMaxHeadLines) {
                return fail(431, messages::kHeadersTooLarge);
            }
            Step step = Step::NeedMore;
            if (first) {
                step = requestLine(line);
            } else if (phase_ == Phase::Headers) {
                step = line.isEmpty() ? endOfHead() : header(line);
            }
            if (step != Step::NeedMore) {
                return step;
            }
            break;
        }
        case Phase::Body:
            takeBody(input, pos, contentLength_ - request_.body.size());
            return request_.body.size() == contentLength_ ? Step::Complete : Step::NeedMore;
        case Phase::ChunkSize:
        case Phase::ChunkEnd: {
            const Line taken = takeLine(input, pos, kMaxChunkSizeLine, &line);
            if (taken == Line::Incomplete) {
                return Step::NeedMore;
            }
            if (taken == Line::TooLong || (phase_ == Phase::ChunkEnd && !line.isEmpty())) {
                return fail(400, messages::kBadRequest);
            }
            if (phase_ == Phase::ChunkEnd) {
                phase_ = Phase::ChunkSize;
            } else if (const Step step = chunkSize(line); step != Step::NeedMore) {
                return step;
            }
            break;
        }
        case Phase::ChunkData:
            chunkLeft_ -= takeBody(input, pos, chunkLeft_);
            if (chunkLeft_ > 0) {
                return Step::NeedMore;
            }
            phase_ = Phase::ChunkEnd;
            break;
        }
    }
}

RequestReader::Step RequestReader::requestLine(const QByteArray &line) {
    static const QList<QByteArray> known = {"GET",    "POST",    "HEAD", "PUT",
                                            "DELETE", "OPTIONS", "PATCH"};
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !known.contains(parts[0]) || parts[1].isEmpty() ||
        (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")) {
        return fail(400, messages::kBadRequest);
    }
    request_.method = parts[0];
    request_.target = parts[1];
    request_.http10 = parts[2] == "HTTP/1.0";
    if (!splitTarget(request_.target)) {
        return fail(400, messages::kBadRequest);
    }
    phase_ = Phase::Headers;
    return Step::NeedMore;
}

// Sets the path and query even of a target refused, for the log. A target in absolute form, as
// a proxy is sent, is taken only when it names this very service: the service would otherwise
// answer for a site it is not.
bool RequestReader::splitTarget(QByteArrayView target) {
    bool taken = target.startsWith('/');
    if (const qsizetype scheme = target.indexOf("://"); !taken && scheme >= 0) {
        const QByteArrayView rest = target.sliced(scheme + 3);
        const qsizetype end =
            std::find_if(rest.begin(), rest.end(), [](char c) { return c == '/' || c == '?'; }) -
            rest.begin();
        taken = target.first(scheme).compare("https", Qt::CaseInsensitive) == 0 &&
                ownAuthorities_.contains(rest.first(end).toByteArray().toLower());
        target = rest.sliced(end);
    }
    const qsizetype mark = target.indexOf('?');
    request_.path = (mark < 0 ? target : target.first(mark)).toByteArray();
    request_.query = mark < 0 ? QByteArray() : target.sliced(mark + 1).toByteArray();
    return taken;
}

RequestReader::Step RequestReader::header(const QByteArray &line) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0 || !AllOf(QByteArrayView(line).first(colon), IsNameChar)) {
        return fail(400, messages::kBadRequest);
    }
    const QByteArray name = line.first(colon).toLower();
    const QByteArray value = line.sliced(colon + 1).trimmed();
    if (name == "content-length") {
        if (!AllOf(value, IsDigit)) {
            return fail(400, messages::kBadRequest);
        }
        // Too many digits for a number is too large whatever the exact figure.
        const qint64 length =
            value.size() > 18 ? std::numeric_limits<qint64>::max() : value.toLongLong();
        if (contentLength_ >= 0 && contentLength_ != length) {
            return fail(400, messages::kBadRequest);
        }
        contentLength_ = length;
    } else if (name == "transfer-encoding") {
        if (value.toLower() != "chunked") {
            return fail(501, messages::kBadRequest);
        }
        chunked_ = true;
    } else if (name == "connection") {
        for (const QByteArray &token : value.toLower().split(',')) {
            close_ = close_ || token.trimmed() == "close";
            keepAliveAsked_ = keepAliveAsked_ || token.trimmed() == "keep-alive";
        }
    } else if (name == "expect") {
        request_.expectContinue = value.toLower() == "100-continue";
    }
    return Step::NeedMore;
}

RequestReader::Step RequestReader::endOfHead() {
    request_.keepAlive = !close_ && (!request_.http10 || keepAliveAsked_);
    // Both framings at once is how requests get smuggled past proxies.
    if (chunked_ && contentLength_ >= 0) {
        return fail(400, messages::kBadRequest);
    }
    if (chunked_) {
        return expectBody(0, Phase::ChunkSize);
    }
    return contentLength_ > 0 ? expectBody(contentLength_, Phase::Body) : Step::Complete;
}

// Every body size, announced whole or reached chunk by chunk, is checked here.
RequestReader::Step RequestReader::expectBody(qint64 size, Phase next) {
    if (size > kMaxBodyBytes) {
        return fail(413, messages::kBodyTooLarge);
    }
    phase_ = next;
    return Step::NeedMore;
}

RequestReader::Step RequestReader::chunkSize(const QByteArray &line) {
    const qsizetype semicolon = line.indexOf(';');
    const QByteArray digits = (semicolon < 0 ? line : line.first(semicolon)).trimmed();
    if (!AllOf(digits, IsHexDigit) || digits.size() > 8) {
        return fail(400, messages::kBadRequest);
    }
    chunkLeft_ = digits.toLongLong(nullptr, 16);
    return expectBody(request_.body.size() + chunkLeft_,
                      chunkLeft_ == 0 ? Phase::Trailers : Phase::ChunkData);
}

} // namespace shoulu
