// The progress on Linux: the com.canonical.Unity.LauncherEntry signal, which docks (Dash to
// Dock, Plank, Plasma's task manager, Unity) read to draw a bar over a desktop entry's icon.
#include "ui/taskbar.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QIcon>
#include <QVariantMap>
#include <QWidget>

namespace shoulu {

namespace {

// Whether the session has a bus of its own to find. Without one, libdbus would start a bus for
// the X display (autolaunch), which outlives the program; there is no dock to tell then anyway.
bool SessionBusAnnounced() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
}

} // namespace

void ClearTitleBarIcon(QWidget &window) {
    window.setWindowIcon(QIcon());
}

struct TaskbarProgress::Platform {};

TaskbarProgress::TaskbarProgress(QWidget & /*window*/) {}

TaskbarProgress::~TaskbarProgress() {
    show(0, 0);
}

void TaskbarProgress::apply() {
    if (!SessionBusAnnounced()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // Docks match the entry by its URI; the path is the sender's own.
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/cn/lanxu/shoulu/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(QLatin1String(kDesktopFileName))
           << QVariantMap{
                  {QStringLiteral("progress"), total_ == 0 ? 0.0 : double(reached_) / total_},
                  {QStringLiteral("progress-visible"), total_ != 0}};
    bus.send(update);
}

} // namespace shoulu
