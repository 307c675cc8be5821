#include "app/version_check.h"

#include "core/window_ops.h"
#include "net/json_access.h"
#include "net/protocol.h"

#include <QJsonObject>
#include <QJsonValue>

#include <optional>

namespace shoulu {

namespace {

// MemberText, but a null at the end of the path counts as missing: the check cannot act on it.
std::optional<QString> RequiredText(const QJsonObject &object, const QString &path) {
    const std::optional<QJsonValue> value = MemberValue(object, path);
    if (!value || value->isNull()) {
        return std::nullopt;
    }
    return MemberText(object, path);
}

} // namespace

VersionCheck::VersionCheck(WindowOps &window, PostFunction post, std::function<void()> init,
                           QString versionBaseUrl, QString siteBaseUrl)
    : window_(window)
    , post_(std::move(post))
    , init_(std::move(init))
    , versionBaseUrl_(std::move(versionBaseUrl))
    , siteBaseUrl_(std::move(siteBaseUrl)) {}

void VersionCheck::Timer2_Timer() {
    // The boxes below are modal and the timer keeps ticking behind them.
    if (started_) {
        return;
    }
    started_ = true;
    run();
}

void VersionCheck::endWithMessage(const QString &text) {
    window_.messageBox(text, kNoticeTitle, MessageButtons::Ok);
    window_.endProgram();
}

void VersionCheck::run() {
    const QString unreachable = QStringLiteral("抱歉，软件需要联网使用，请检查您的网络后重启软件");
    const QString answer =
        post_(versionBaseUrl_ + QLatin1String(kVersionPath), VersionRequestBody());
    // A garbled answer is no better than none: the run cannot be vouched for.
    const std::optional<QJsonObject> object = answer.isEmpty() ? std::nullopt : toObject(answer);
    if (!object) {
        endWithMessage(unreachable);
        return;
    }
    const std::optional<QString> result = RequiredText(*object, QStringLiteral("result"));
    if (!result) {
        endWithMessage(unreachable);
        return;
    }
    if (*result == QLatin1String("0")) {
        const std::optional<QString> message = RequiredText(*object, QStringLiteral("message"));
        endWithMessage(message ? *message : unreachable);
        return;
    }
    const std::optional<QString> version = RequiredText(*object, QStringLiteral("info.version"));
    const std::optional<QString> sid = RequiredText(*object, QStringLiteral("info.sid"));
    const std::optional<QString> must = RequiredText(*object, QStringLiteral("info.must"));
    if (!version || !sid || !must) {
        endWithMessage(unreachable);
        return;
    }
    if (*version != BuiltInVersion()) {
        const QString offer =
            QStringLiteral("发现最新版本") + *version + QStringLiteral("，是否现在更新?");
        if (window_.messageBox(offer, kNoticeTitle, MessageButtons::YesNo) == MessageAnswer::Yes) {
            window_.openBrowser(siteBaseUrl_ + QLatin1String(kUpdatePagePath) + *sid);
            window_.endProgram();
            return;
        }
        if (*must != QLatin1String("0")) {
            window_.endProgram();
            return;
        }
    }
    init_();
    window_.setTimerEnabled(TimerId::Timer2, false);
}

} // namespace shoulu
