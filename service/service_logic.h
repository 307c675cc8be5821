#pragma once

#include "service/http_request.h"
#include "service/limits.h"

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

struct Reply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// JSON body {"result":0,"message":...}.
QByteArray ErrorBody(const QString &message);
Reply ErrorReply(int status, const QString &message);

// Routes one request and builds its answer. Knows nothing of sockets, so it is tested alone.
class ServiceLogic {
public:
    ServiceLogic(VersionSettings settings, CountStore *store);

    Reply handle(const HttpRequest &request);

private:
    Reply webCollection(QByteArrayView rawQuery);
    Reply softVersion(const HttpRequest &request);
    Reply page(const QString &title, const QString &text);

    VersionSettings settings_;
    CountStore *store_;
};

// A count as JSON: an integer when the stored text is plain decimal digits (with an optional
// minus) that a double holds exactly, else the stored text as a string.
QJsonValue CountValue(const QString &text);

} // namespace shoulu
