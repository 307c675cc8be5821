#pragma once

#include <cstdlib>

// A broken property ends the run as a crash would, so libFuzzer keeps the input.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
