#pragma once

class QCoreApplication;

namespace shoulu {

// Raises the soft limit on open descriptors towards wanted, within the hard limit, and returns
// the limit then in force; -1 where the system sets none this way.
long RaiseDescriptorLimit(long wanted);

// SIGTERM and SIGINT end the event loop, so the store is closed cleanly; a no-op where the
// system has no such signals.
void QuitOnSignals(QCoreApplication &app);

// Hands memory the process has freed back to the system, where the allocator keeps it
// otherwise; a no-op elsewhere.
void ReleaseFreedMemory();

} // namespace shoulu
