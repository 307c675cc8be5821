#pragma once

#include "core/form1.h"
#include "tests/support/fake_window.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace shoulu::testing {

inline const QString kQueryBase = QStringLiteral("https://query.test");

// A complete query answer whose row reads domain, "1 / 2", "3 / 4", "5 / 6".
QString FullAnswer(const QString &domain);

// An answer that arrived with body.
HttpResult Answered(const QString &body);

// The url value of a query URL, percent-decoded.
QString EntryOfUrl(const QString &url);

// A Form1 wired to a fake window and a scripted GET. The GET records the request, then runs
// `during` as if the wait had processed events (ticks, clicks), then answers.
class QueryHarness {
public:
    QueryHarness();

    void setQueue(const QStringList &entries);
    // The state a window has once the version check has passed.
    void startIdle();

    FakeWindow window;
    QStringList urls;
    QStringList queried;
    std::function<void(int call, const QString &entry)> during;
    std::function<HttpResult(const QString &entry)> answer;
    Form1 form;

private:
    HttpResult get(const QString &url);
};

} // namespace shoulu::testing
