#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace shoulu::bench {

// The median of samples: the middle one, or the mean of the middle two.
template <typename T> double Median(std::vector<T> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t mid = samples.size() / 2;
    return samples.size() % 2 == 1 ? double(samples[mid])
                                   : (double(samples[mid - 1]) + double(samples[mid])) / 2.0;
}

// The median of nanosecond samples, in microseconds.
inline double MedianMicroseconds(std::vector<qint64> samples) {
    return Median(std::move(samples)) / 1000.0;
}

} // namespace shoulu::bench
