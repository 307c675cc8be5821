#pragma once

#include <memory>

namespace shoulu {

// Asks the system not to go to sleep while held; the screen may still turn off. On Windows
// through the thread's execution state, on Linux through a logind sleep inhibitor where logind
// answers; elsewhere, or without an answer, holding it does nothing. Released when the holder
// goes. Used from the user-interface thread only.
class WakeRequest {
public:
    WakeRequest();
    ~WakeRequest();
    WakeRequest(const WakeRequest &) = delete;
    WakeRequest &operator=(const WakeRequest &) = delete;

    // Asks (on) or releases (off); asking twice asks once. Never waits for the system's answer.
    void hold(bool on);
    // Whether the system has granted the request and it is still held.
    bool granted() const;

private:
    struct Platform;
    std::unique_ptr<Platform> platform_;
};

} // namespace shoulu
