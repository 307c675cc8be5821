#pragma once

// Everything a client may take of the service, and the texts it is told when it asks too much.
// Each limit keeps a single client from stopping the service, slowing it for everyone or
// growing its memory without bound.

#include <QString>
#include <QtGlobal>

#include <chrono>

namespace shoulu {

// The limits set from the command line.
struct ConnectionLimits {
    // Silent between requests; also how long answers may stay unread past a connection's share.
    std::chrono::milliseconds idle{15000};
    std::chrono::milliseconds handshake{10000};
    // For the head of a request, and again for its body.
    std::chrono::milliseconds request{60000};
    // Open connections, handshakes included; those past it are closed at once.
    int maxConnections = 2500;
};

// One request: its line, its head (line, headers and any chunk trailers together), a chunk's
// size line, and its body.
inline constexpr qsizetype kMaxRequestLine = 8 * 1024;
inline constexpr qsizetype kMaxHeadBytes = 16 * 1024;
inline constexpr int kMaxHeadLines = 100;
inline constexpr qsizetype kMaxChunkSizeLine = 1024;
inline constexpr qsizetype kMaxBodyBytes = 64 * 1024;

// Near the cap, a request's head and body each get this long at most, as long as a handshake.
inline constexpr std::chrono::milliseconds kNearFullRequestTime{10000};

// Bytes a connection takes from its socket at a time.
inline constexpr qint64 kReadBufferBytes = 8 * 1024;
// Unsent answers: past its share of them a connection's further requests are left unread. The
// share is kMaxUnsentBytes, or an even part of kUnsentBudget while all connections together
// hold more than that.
inline constexpr qint64 kMaxUnsentBytes = 256 * 1024;
inline constexpr qint64 kUnsentBudget = 32 * 1024 * 1024;

inline qint64 UnsentShare(qint64 allUnsent, int openConnections) {
    return allUnsent <= kUnsentBudget
               ? kMaxUnsentBytes
               : qMin(kMaxUnsentBytes, kUnsentBudget / qMax(1, openConnections));
}

// Answers the kernel holds for one connection (it doubles the figure for its own use): a few
// answers, so those of a client that does not read pile up where the share can see them.
inline constexpr int kSendBufferBytes = 16 * 1024;
// Requests a connection answers before the others of its worker get their turn: one as its
// bytes come in, so thousands of pipelining clients ready at once keep nobody waiting long,
// and a few more each time the worker comes back to it.
inline constexpr int kAnswersPerEvent = 1;
inline constexpr int kAnswersPerTurn = 4;

// The request log's file is moved aside at --log-max-bytes, which is at least this.
inline constexpr qint64 kMinLogBytes = 64 * 1024;
inline constexpr qint64 kDefaultLogBytes = 8 * 1024 * 1024;

// Texts of the answers, in Chinese as the program shows them.
namespace messages {
inline const QString kBadToken = QStringLiteral("令牌校验失败");
inline const QString kUnknownDomain = QStringLiteral("暂无该域名的收录数据");
inline const QString kUnknownProduct = QStringLiteral("未知的软件编号");
inline const QString kMissingParameter = QStringLiteral("缺少参数");
inline const QString kRepeatedParameter = QStringLiteral("参数重复");
inline const QString kBadEncoding = QStringLiteral("参数编码错误");
inline const QString kBodyTooLarge = QStringLiteral("请求内容过大");
inline const QString kNotFound = QStringLiteral("页面不存在");
inline const QString kMethodNotAllowed = QStringLiteral("不支持的请求方法");
inline const QString kBadRequest = QStringLiteral("请求格式错误");
inline const QString kStoreUnavailable = QStringLiteral("收录数据暂时无法读取，请稍后再试");
inline const QString kTimeout = QStringLiteral("请求超时");
inline const QString kHeadersTooLarge = QStringLiteral("请求头过大");
} // namespace messages

} // namespace shoulu
