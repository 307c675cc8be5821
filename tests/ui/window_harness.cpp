#include "tests/ui/window_harness.h"

namespace shoulu::testing {

namespace {

QString DomainOf(const QString &url) {
    const qsizetype start = url.indexOf(QStringLiteral("url=")) + 4;
    return url.mid(start, url.indexOf(QStringLiteral("&token=")) - start);
}

} // namespace

QString QueryAnswer(const QString &domain) {
    return QStringLiteral(R"({"info":{"web":{"domain":"%1"},"bd":{"site":1200,"domain":34},)"
                          R"("so":{"site":560,"domain":7},"bing":{"site":89,"domain":0}}})")
        .arg(domain);
}

TestWindow::TestWindow()
    : ScriptedWindow(
          [this](const QString &url) {
              getUrls.append(url);
              if (duringGet) {
                  duringGet();
              }
              const QString domain = DomainOf(url);
              return HttpResult{missing.contains(domain)
                                    ? QStringLiteral(R"({"result":0,"message":"暂无数据"})")
                                    : QueryAnswer(domain),
                                HttpFailure::None};
          },
          [this](const QString &url, const QString &data) {
              posts.append({url, data});
              return versionAnswer;
          },
          {QStringLiteral("https://query.test"), QStringLiteral("https://version.test"),
           QStringLiteral("https://site.test"), QStringLiteral("http://studio.test/"),
           QStringLiteral("http://company.test/")})
    , versionAnswer(
          QStringLiteral(R"({"result":1,"info":{"version":"2.1.0","sid":"5","must":"0"}})")) {}

DialogAnswer Press(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Ok;
    }
}

DialogAnswer OnDialog(DialogBody body) {
    return body;
}

} // namespace shoulu::testing
