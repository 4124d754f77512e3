#pragma once
// The median of a set of timings: robust to the odd slow run on a shared machine.

#include <algorithm>
#include <vector>

// The middle value (the upper one of an even count); 0 for no values.
inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}
