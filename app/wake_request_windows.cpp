// The wake request on Windows: the thread's execution state, which Windows drops with the
// thread anyway.
#include "app/wake_request.h"

#include <windows.h>

namespace shoulu {

struct WakeRequest::Platform {
    bool granted = false;
};

WakeRequest::WakeRequest()
    : platform_(std::make_unique<Platform>()) {}

WakeRequest::~WakeRequest() {
    hold(false);
}

void WakeRequest::hold(bool on) {
    if (on == platform_->granted) {
        return;
    }
    // ES_DISPLAY_REQUIRED is left out: the screen may turn off, the batch goes on.
    const EXECUTION_STATE state = on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS;
    platform_->granted = SetThreadExecutionState(state) != 0 && on;
}

bool WakeRequest::granted() const {
    return platform_->granted;
}

} // namespace shoulu
