// The wake request on Linux: a logind sleep inhibitor, held as long as its file descriptor is
// open. Asked asynchronously, so a slow or missing logind never stalls the window.
#include "app/wake_request.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace shoulu {

namespace {

QDBusMessage InhibitSleep() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    // what, who, why, mode: as the system's sleep dialogs and `systemd-inhibit --list` show it.
    call << QStringLiteral("sleep") << QStringLiteral("澜序网站收录批量查询器")
         << QStringLiteral("正在批量查询") << QStringLiteral("block");
    return call;
}

} // namespace

struct WakeRequest::Platform {
    bool wanted = false;
    bool asking = false;
    QDBusUnixFileDescriptor inhibitor; // closing it releases the inhibitor
    // Parent of the pending call's watcher; goes first, so no answer arrives after the rest.
    QObject calls;
};

WakeRequest::WakeRequest()
    : platform_(std::make_unique<Platform>()) {}

WakeRequest::~WakeRequest() = default;

void WakeRequest::hold(bool on) {
    Platform &p = *platform_;
    p.wanted = on;
    if (!on) {
        p.inhibitor = QDBusUnixFileDescriptor();
        return;
    }
    if (p.asking || p.inhibitor.isValid()) {
        return;
    }
    // No system bus (a container, a minimal system): nothing to ask, at once.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() ||
        !bus.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing)) {
        return;
    }
    p.asking = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(InhibitSleep()), &p.calls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &p.calls, [&p, watcher] {
        p.asking = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        // Released meanwhile, or refused: the descriptor, if any, closes with the reply.
        if (p.wanted && reply.isValid()) {
            p.inhibitor = reply.value();
        }
        watcher->deleteLater();
    });
}

bool WakeRequest::granted() const {
    return platform_->inhibitor.isValid();
}

} // namespace shoulu
