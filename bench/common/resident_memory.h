#pragma once

#include <fstream>
#include <string>

namespace shoulu::bench {

// This process's resident memory in KiB, or -1 where /proc does not tell. Read with the
// standard library so the reading itself allocates little.
inline long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

} // namespace shoulu::bench
