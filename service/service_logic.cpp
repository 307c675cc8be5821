#include "service/service_logic.h"

#include "net/protocol.h"
#include "service/form_decode.h"
#include "service/store.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace shoulu {

namespace {

const QByteArray kJson = QByteArrayLiteral("application/json; charset=utf-8");
const QByteArray kHtml = QByteArrayLiteral("text/html; charset=utf-8");

QByteArray JsonBody(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString HtmlEscaped(const QString &text) {
    return text.toHtmlEscaped();
}

// Missing or repeated fields are the client's fault: both get a 400 naming the field.
std::optional<Reply> RequireOne(const QList<FormField> &fields, const QString &name,
                                QString *value) {
    switch (FindField(fields, name, value)) {
    case FieldLookup::Found:
        return std::nullopt;
    case FieldLookup::Missing:
        return ErrorReply(400, messages::kMissingParameter + QStringLiteral(": ") + name);
    case FieldLookup::Repeated:
        break;
    }
    return ErrorReply(400, messages::kRepeatedParameter + QStringLiteral(": ") + name);
}

} // namespace

QByteArray ErrorBody(const QString &message) {
    return JsonBody(
        QJsonObject{{QStringLiteral("result"), 0}, {QStringLiteral("message"), message}});
}

Reply ErrorReply(int status, const QString &message) {
    return Reply{status, kJson, ErrorBody(message)};
}

QJsonValue CountValue(const QString &text) {
    // Up to 15 digits, so a double (which JSON numbers become) holds the value exactly.
    const qsizetype sign = text.startsWith(u'-') ? 1 : 0;
    const qsizetype digits = text.size() - sign;
    bool plain = digits >= 1 && digits <= 15;
    for (qsizetype i = sign; plain && i < text.size(); ++i) {
        plain = text[i] >= u'0' && text[i] <= u'9';
    }
    return plain ? QJsonValue(text.toLongLong()) : QJsonValue(text);
}

ServiceLogic::ServiceLogic(VersionSettings settings, CountStore *store)
    : settings_(std::move(settings))
    , store_(store) {}

Reply ServiceLogic::handle(const HttpRequest &request) {
    const auto path = PercentDecode(request.path);
    if (!path) {
        return ErrorReply(400, messages::kBadEncoding);
    }

    const bool isGet = request.method == "GET";
    if (*path == QLatin1String(kQueryPath)) {
        return isGet ? webCollection(request.query) : ErrorReply(405, messages::kMethodNotAllowed);
    }
    if (*path == QLatin1String(kVersionPath)) {
        return request.method == "POST" ? softVersion(request)
                                        : ErrorReply(405, messages::kMethodNotAllowed);
    }
    if (*path == QLatin1String(kUpdatePagePath) + settings_.sid) {
        if (!isGet) {
            return ErrorReply(405, messages::kMethodNotAllowed);
        }
        return page(
            QStringLiteral("澜序网站收录批量查询器 · 更新页（本地替身）"),
            QStringLiteral("这是 shoulu-service 提供的本地替身页面，不是澜序软件官网。"
                           "软件编号 sid=%1，最新版本 %2。真实发布版在这里指向澜序的更新页。")
                .arg(settings_.sid, settings_.latestVersion));
    }
    if (*path == QStringLiteral("/studio") || *path == QStringLiteral("/company")) {
        if (!isGet) {
            return ErrorReply(405, messages::kMethodNotAllowed);
        }
        const bool studio = *path == QStringLiteral("/studio");
        return page(studio ? QStringLiteral("工作室主页（本地替身）")
                           : QStringLiteral("公司主页（本地替身）"),
                    QStringLiteral("这是 shoulu-service 提供的本地替身页面，不是澜序的%1网站。"
                                   "真实发布版的按钮在这里打开澜序的网站。")
                        .arg(studio ? QStringLiteral("工作室") : QStringLiteral("公司")));
    }
    return ErrorReply(404, messages::kNotFound);
}

Reply ServiceLogic::webCollection(QByteArrayView rawQuery) {
    const auto fields = ParseForm(rawQuery);
    if (!fields) {
        return ErrorReply(400, messages::kBadEncoding);
    }
    QString url;
    if (auto bad = RequireOne(*fields, QStringLiteral("url"), &url)) {
        return *bad;
    }
    QString token;
    switch (FindField(*fields, QStringLiteral("token"), &token)) {
    case FieldLookup::Repeated:
        return ErrorReply(400, messages::kRepeatedParameter + QStringLiteral(": token"));
    case FieldLookup::Missing:
        // A missing token is a failed check like a wrong one: the program reads either as an
        // answer without a row.
        return ErrorReply(200, messages::kBadToken);
    case FieldLookup::Found:
        break;
    }
    if (token != QueryToken(url)) {
        return ErrorReply(200, messages::kBadToken);
    }
    QString storeError;
    const auto counts = store_ ? store_->find(url, &storeError) : std::nullopt;
    if (!storeError.isEmpty()) {
        // Never "no data": the domain may well be stored.
        return ErrorReply(503, messages::kStoreUnavailable);
    }
    if (!counts) {
        return ErrorReply(200, messages::kUnknownDomain);
    }
    auto engine = [&counts](size_t first) {
        return QJsonObject{{QStringLiteral("site"), CountValue(counts->counts[first])},
                           {QStringLiteral("domain"), CountValue(counts->counts[first + 1])}};
    };
    const QJsonObject info{
        {QStringLiteral("web"), QJsonObject{{QStringLiteral("domain"), counts->domain}}},
        {QStringLiteral("bd"), engine(0)},
        {QStringLiteral("so"), engine(2)},
        {QStringLiteral("bing"), engine(4)}};
    return Reply{
        200, kJson,
        JsonBody(QJsonObject{{QStringLiteral("result"), 1}, {QStringLiteral("info"), info}})};
}

Reply ServiceLogic::softVersion(const HttpRequest &request) {
    const auto fields = ParseForm(request.body);
    if (!fields) {
        return ErrorReply(400, messages::kBadEncoding);
    }
    QString sn;
    if (auto bad = RequireOne(*fields, QStringLiteral("sn"), &sn)) {
        return *bad;
    }
    if (settings_.refuse) {
        return ErrorReply(200, settings_.refuseMessage);
    }
    if (sn != QLatin1String(kProductId)) {
        return ErrorReply(200, messages::kUnknownProduct);
    }
    const QJsonObject info{{QStringLiteral("version"), settings_.latestVersion},
                           {QStringLiteral("sid"), settings_.sid},
                           {QStringLiteral("must"), settings_.must}};
    return Reply{
        200, kJson,
        JsonBody(QJsonObject{{QStringLiteral("result"), 1}, {QStringLiteral("info"), info}})};
}

Reply ServiceLogic::page(const QString &title, const QString &text) {
    const QString html =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                       "<title>%1</title></head>\n<body><h1>%1</h1>\n<p>%2</p>\n"
                       "<p>shoulu-service: a local stand-in for the maker's services, for "
                       "development and tests only.</p></body></html>\n")
            .arg(HtmlEscaped(title), HtmlEscaped(text));
    return Reply{200, kHtml, html.toUtf8()};
}

} // namespace shoulu
