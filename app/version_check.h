#pragma once

#include <QString>

#include <functional>

namespace shoulu {

class WindowOps;

// Posts a form body and returns the answer body, or the empty text. The real program passes
// PostForm, which blocks until the answer is in.
using PostFunction = std::function<QString(const QString &url, const QString &data)>;

// The start-up check against the version service, run by the first tick of Timer2. It either
// ends the program or calls init and switches Timer2 off.
class VersionCheck {
public:
    VersionCheck(WindowOps &window, PostFunction post, std::function<void()> init,
                 QString versionBaseUrl, QString siteBaseUrl);

    void Timer2_Timer();

private:
    void run();
    void endWithMessage(const QString &text);

    WindowOps &window_;
    PostFunction post_;
    std::function<void()> init_;
    QString versionBaseUrl_;
    QString siteBaseUrl_;
    bool started_ = false; // a check runs once; later ticks do nothing
};

} // namespace shoulu
