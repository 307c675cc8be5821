#pragma once

#include <QtGlobal>

class QAbstractEventDispatcher;

namespace shoulu {

// Qt's own Unix dispatcher polls every registered socket on each turn of the loop, so thousands
// of idle connections slow down the busy ones; this one waits with epoll, whose cost grows with
// the ready sockets only. For a thread's setEventDispatcher, which takes ownership; nullptr where
// the system has no such call, and Qt's default stays.
#ifdef Q_OS_LINUX
QAbstractEventDispatcher *NewScalableEventDispatcher();
#else
inline QAbstractEventDispatcher *NewScalableEventDispatcher() {
    return nullptr;
}
#endif

} // namespace shoulu
