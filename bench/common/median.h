#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace shoulu::bench {

// The median of nanosecond samples, in microseconds.
inline double MedianMicroseconds(std::vector<qint64> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t mid = samples.size() / 2;
    const double median = samples.size() % 2 == 1
                              ? double(samples[mid])
                              : (double(samples[mid - 1]) + double(samples[mid])) / 2.0;
    return median / 1000.0;
}

} // namespace shoulu::bench
