// The wake request where the system offers no way to ask: holding it does nothing.
#include "app/wake_request.h"

namespace shoulu {

struct WakeRequest::Platform {};

WakeRequest::WakeRequest() = default;
WakeRequest::~WakeRequest() = default;

void WakeRequest::hold(bool /*on*/) {}

bool WakeRequest::granted() const {
    return false;
}

} // namespace shoulu
