#include "tests/core/query_harness.h"

#include <QUrl>

namespace shoulu::testing {

QString FullAnswer(const QString &domain) {
    return QStringLiteral(R"({"code":0,"info":{"web":{"domain":"%1"},)"
                          R"("bd":{"site":"1","domain":"2"},"so":{"site":"3","domain":"4"},)"
                          R"("bing":{"site":"5","domain":"6"}}})")
        .arg(domain);
}

HttpResult Answered(const QString &body) {
    return {body, HttpFailure::None};
}

QString EntryOfUrl(const QString &url) {
    const qsizetype start = url.indexOf(QStringLiteral("?url=")) + 5;
    const qsizetype end = url.indexOf(QStringLiteral("&token="));
    return QUrl::fromPercentEncoding(url.mid(start, end - start).toLatin1());
}

QueryHarness::QueryHarness()
    : form(
          window, [this](const QString &url) { return get(url); }, kQueryBase) {
    answer = [](const QString &entry) { return Answered(FullAnswer(entry)); };
    window.onTimer1 = [this] { form.Timer1_Timer(); };
}

void QueryHarness::setQueue(const QStringList &entries) {
    window.queue = entries;
    window.selected = -1;
}

void QueryHarness::startIdle() {
    form.init();
    window.timerEnabled[TimerId::Timer2] = false;
}

HttpResult QueryHarness::get(const QString &url) {
    const int call = static_cast<int>(urls.size());
    const QString entry = EntryOfUrl(url);
    urls.append(url);
    queried.append(entry);
    if (during) {
        during(call, entry);
    }
    return answer(entry);
}

} // namespace shoulu::testing
