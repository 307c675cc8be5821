#include "core/query_answer.h"

#include "net/json_access.h"

#include <QJsonObject>

#include <array>

namespace shoulu {

namespace {

const QString kUnreadableAnswer = QStringLiteral("返回内容无法识别");
// A service message longer than this is cut: the panel has room for one short line.
constexpr qsizetype kMaxReasonLength = 60;

std::optional<ResultRow> ReadRow(const QJsonObject &object) {
    const std::optional<QString> domain = MemberText(object, QStringLiteral("info.web.domain"));
    if (!domain) {
        return std::nullopt;
    }
    ResultRow row{*domain, {}};
    const std::array<QLatin1String, 3> engines = {QLatin1String("bd"), QLatin1String("so"),
                                                  QLatin1String("bing")};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const QString base = QStringLiteral("info.") + engines[i];
        const std::optional<QString> site = MemberText(object, base + QStringLiteral(".site"));
        const std::optional<QString> links = MemberText(object, base + QStringLiteral(".domain"));
        if (!site || !links) {
            return std::nullopt;
        }
        row.engines[i] = *site + kEngineSeparator + *links;
    }
    return row;
}

QString ReasonOf(HttpFailure failure) {
    switch (failure) {
    case HttpFailure::TimedOut:
        return QStringLiteral("查询服务无响应");
    case HttpFailure::TlsFailed:
        return QStringLiteral("证书校验失败");
    case HttpFailure::TooLarge:
    case HttpFailure::BadContent:
        return kUnreadableAnswer;
    default:
        return QStringLiteral("无法连接查询服务");
    }
}

// The service's own word when it refused, on one short line; else that the answer was unusable.
QString ReasonOfAnswer(const QJsonObject &object) {
    QString message = MemberText(object, QStringLiteral("message")).value_or(QString());
    message = message.simplified();
    if (message.isEmpty()) {
        return kUnreadableAnswer;
    }
    if (message.size() > kMaxReasonLength) {
        message = message.left(kMaxReasonLength) + QStringLiteral("…");
    }
    return message;
}

} // namespace

QueryOutcome ReadQueryOutcome(const HttpResult &result) {
    if (!result.answered()) {
        return {std::nullopt, ReasonOf(result.failure)};
    }
    const std::optional<QJsonObject> object = toObject(result.body);
    if (!object) {
        return {std::nullopt, kUnreadableAnswer};
    }
    QueryOutcome outcome{ReadRow(*object), QString()};
    if (!outcome.row) {
        outcome.reason = ReasonOfAnswer(*object);
    }
    return outcome;
}

} // namespace shoulu
