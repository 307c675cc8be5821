// The running mark on Windows: a mutex in the session's namespace, which Windows removes with
// its last handle, so a crashed program leaves none behind.
#include "app/running_mark.h"

#include "shoulu_config.h"

#include <windows.h>

namespace shoulu {

struct RunningMark::Platform {
    HANDLE mutex = nullptr;
};

RunningMark::RunningMark()
    : platform_(std::make_unique<Platform>()) {
    // Not owned: only its existence counts, and a second copy of the program opens the same one.
    platform_->mutex = CreateMutexW(nullptr, FALSE, L"Local\\" SHOULU_RUNNING_MUTEX);
}

RunningMark::~RunningMark() {
    if (platform_->mutex != nullptr) {
        CloseHandle(platform_->mutex);
    }
}

bool RunningMark::held() const {
    return platform_->mutex != nullptr;
}

} // namespace shoulu
