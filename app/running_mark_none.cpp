// The running mark where nothing asks for it: no setup replaces the program's files while it
// runs.
#include "app/running_mark.h"

namespace shoulu {

struct RunningMark::Platform {};

RunningMark::RunningMark() = default;
RunningMark::~RunningMark() = default;

bool RunningMark::held() const {
    return false;
}

} // namespace shoulu
