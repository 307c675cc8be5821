#include "net/http_get.h"

#include "net/tls_trust.h"
#include "net/transfer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QThreadStorage>
#include <QUrl>

namespace shoulu {

namespace {

QThreadStorage<QNetworkAccessManager *> &Managers() {
    static QThreadStorage<QNetworkAccessManager *> managers;
    return managers;
}

// The main thread's manager has to go while the application object still exists: closing its
// kept-alive TLS connections needs it.
void DropMainThreadManager() {
    Managers().setLocalData(nullptr);
}

// One manager per thread, so kept-alive connections serve later calls.
QNetworkAccessManager &Manager() {
    QThreadStorage<QNetworkAccessManager *> &managers = Managers();
    if (!managers.hasLocalData() || managers.localData() == nullptr) {
        const QCoreApplication *application = QCoreApplication::instance();
        if (application && application->thread() == QThread::currentThread()) {
            qAddPostRoutine(DropMainThreadManager);
        }
        managers.setLocalData(new QNetworkAccessManager);
    }
    return *managers.localData();
}

} // namespace

QString HttpGet(const QString &url) {
    const QUrl target(url);
    if (!IsHttpUrl(target)) {
        return {};
    }
    TrustCompiledInCaCertificate();

    QNetworkRequest request = MakeRequest(target);
    request.setRawHeader("If-Modified-Since", "0");
    const QPointer<QNetworkReply> reply = Manager().get(request);

    // Each call waits in its own loop: a call made from a handler inside this wait runs its
    // own loop to the end first, and this one returns after it.
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    if (reply.isNull()) { // its manager was torn down during the wait
        return {};
    }
    if (!reply->isFinished()) { // the loop was ended from outside, e.g. by the application exiting
        reply->abort();
    }
    const QString text = FinishedReplyText(*reply);
    delete reply.data(); // finished and outside its own signals, so no deferred delete is needed
    return text;
}

} // namespace shoulu
