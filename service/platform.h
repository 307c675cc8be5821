#pragma once

class QAbstractEventDispatcher;
class QCoreApplication;

namespace shoulu {

// Raises the soft limit on open descriptors towards wanted, within the hard limit, and returns
// the limit then in force; -1 where the system sets none this way.
long RaiseDescriptorLimit(long wanted);

// SIGTERM and SIGINT end the event loop, so the store is closed cleanly; a no-op where the
// system has no such signals.
void QuitOnSignals(QCoreApplication &app);

// Qt's own Unix dispatcher polls every registered socket on each turn of the loop, so thousands
// of idle connections slow down the busy ones; this one waits with epoll, whose cost grows with
// the ready sockets only. For a thread's setEventDispatcher, which takes ownership; nullptr where
// the system has no such call, and Qt's default stays.
QAbstractEventDispatcher *NewScalableEventDispatcher();

} // namespace shoulu
