// RequestReader on arbitrary bytes, read as a connection reads them. Besides crashes it checks
// that the same bytes give the same requests, and the same refusal, whether they come whole,
// byte by byte or in random pieces, and that no request passes a limit.
#include "service/http_request.h"
#include "service/limits.h"
#include "tests/fuzz/fuzz_check.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <random>

namespace {

// What a connection makes of its bytes: the requests answered in order, then the refusal that
// closed it (0 when the bytes ran out first).
struct Outcome {
    QList<shoulu::HttpRequest> requests;
    int failStatus = 0;
};

bool Same(const shoulu::HttpRequest &a, const shoulu::HttpRequest &b) {
    return a.method == b.method && a.target == b.target && a.body == b.body &&
           a.http10 == b.http10 && a.keepAlive == b.keepAlive &&
           a.expectContinue == b.expectContinue;
}

bool Same(const Outcome &a, const Outcome &b) {
    if (a.failStatus != b.failStatus || a.requests.size() != b.requests.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.requests.size(); ++i) {
        if (!Same(a.requests[i], b.requests[i])) {
            return false;
        }
    }
    return true;
}

void CheckWithinLimits(const shoulu::HttpRequest &request) {
    static const QList<QByteArray> methods = {"GET",    "POST",    "HEAD", "PUT",
                                              "DELETE", "OPTIONS", "PATCH"};
    Check(methods.contains(request.method));
    Check(!request.target.isEmpty() && request.target.size() <= shoulu::kMaxRequestLine);
    Check(request.body.size() <= shoulu::kMaxBodyBytes);
}

// Feeds the pieces as a connection does: answered bytes are dropped, the rest waits for more.
Outcome Read(const QByteArray &data, const QList<qsizetype> &pieceSizes) {
    Outcome outcome;
    shoulu::RequestReader reader;
    QByteArray input;
    qsizetype pos = 0;
    qsizetype offset = 0;
    for (const qsizetype size : pieceSizes) {
        input += data.sliced(offset, size);
        offset += size;
        for (;;) {
            const shoulu::RequestReader::Step step = reader.read(input, &pos);
            Check(pos >= 0 && pos <= input.size());
            if (step == shoulu::RequestReader::Step::NeedMore) {
                break;
            }
            if (step == shoulu::RequestReader::Step::Failed) {
                outcome.failStatus = reader.failStatus();
                Check(!reader.failMessage().isEmpty());
                return outcome;
            }
            CheckWithinLimits(reader.request());
            outcome.requests.append(reader.request());
            reader.reset();
        }
        input.remove(0, pos);
        pos = 0;
    }
    return outcome;
}

// Piece sizes drawn from the bytes themselves, so that a run can be repeated from its input.
QList<qsizetype> RandomPieces(const QByteArray &data) {
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(qHash(data) | 1));
    QList<qsizetype> sizes;
    for (qsizetype left = data.size(); left > 0;) {
        const qsizetype size = qMin<qsizetype>(left, 1 + static_cast<qsizetype>(random() % 97));
        sizes.append(size);
        left -= size;
    }
    return sizes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const QByteArray data(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    const Outcome whole = Read(data, {data.size()});
    Check(whole.failStatus == 0 || whole.failStatus == 400 || whole.failStatus == 413 ||
          whole.failStatus == 414 || whole.failStatus == 431 || whole.failStatus == 501);
    Check(Same(whole, Read(data, QList<qsizetype>(data.size(), 1))));
    Check(Same(whole, Read(data, RandomPieces(data))));
    return 0;
}
