#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

namespace shoulu {

class CountStore;

// What the version endpoint answers; set from the command line.
struct VersionSettings {
    QString latestVersion = QStringLiteral("2.1.0");
    QString sid = QStringLiteral("18");
    QString must = QStringLiteral("0");
    // When set, every version check is refused with refuseMessage.
    bool refuse = false;
    QString refuseMessage = QStringLiteral("当前版本已停止使用，请联系澜序软件获取新版本");
};

// A request as it came off the wire: the request target is still percent-encoded.
struct RawRequest {
    QByteArray method;
    QByteArray target;
    QByteArray body;
};

struct Reply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// The largest request body any endpoint accepts.
inline constexpr qsizetype kMaxBodyBytes = 64 * 1024;

// Chinese texts of the answers, shared with the transport layer and the tests.
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

// JSON body {"result":0,"message":...}.
QByteArray ErrorBody(const QString &message);
Reply ErrorReply(int status, const QString &message);

// Routes one request and builds its answer. Knows nothing of sockets, so it is tested alone.
class ServiceLogic {
public:
    ServiceLogic(VersionSettings settings, CountStore *store);

    Reply handle(const RawRequest &request);

private:
    Reply webCollection(const RawRequest &request, QByteArrayView rawQuery);
    Reply softVersion(const RawRequest &request);
    Reply page(const QString &title, const QString &text);

    VersionSettings settings_;
    CountStore *store_;
};

// A count as JSON: an integer when the stored text is plain decimal digits (with an optional
// minus) that a double holds exactly, else the stored text as a string.
QJsonValue CountValue(const QString &text);

} // namespace shoulu
