#pragma once

#include <memory>

namespace shoulu {

// Tells the system, while it lives, that the program runs. On Windows a named mutex of the
// user's session, which the setup and the uninstaller ask for before they replace or remove the
// program's files (an exe opened for writing says nothing: a read-only one, or one a virus
// scanner holds, fails too); elsewhere nothing. One for the whole run.
class RunningMark {
public:
    RunningMark();
    ~RunningMark();
    RunningMark(const RunningMark &) = delete;
    RunningMark &operator=(const RunningMark &) = delete;

    // Whether the system knows of it.
    bool held() const;

private:
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

} // namespace shoulu
