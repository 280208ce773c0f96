// The running "median of the last five" predictor of LASzip coordinate differences.
#pragma once
#include <algorithm>
#include <cstdint>

namespace las::detail {

// Not a true median: the five values stay sorted, and each new value alternately replaces the
// highest or the lowest of them; the coded stream depends on exactly that. The mode turns when
// the new value lands on the other side of the middle. Written with min and max instead of the
// nested comparisons this is usually spelled with: those mispredict on every other point.
class LazMedian5 {
public:
    void add(std::int32_t v) {
        const std::int32_t mid = values_[2];
        // Dropping the highest keeps values 0..3, dropping the lowest keeps 1..4.
        const std::int32_t a0 = high_ ? values_[0] : values_[1];
        const std::int32_t a1 = high_ ? values_[1] : values_[2];
        const std::int32_t a2 = high_ ? values_[2] : values_[3];
        const std::int32_t a3 = high_ ? values_[3] : values_[4];
        values_[0] = std::min(a0, v);
        values_[1] = std::min(a1, std::max(a0, v));
        values_[2] = std::min(a2, std::max(a1, v));
        values_[3] = std::min(a3, std::max(a2, v));
        values_[4] = std::max(a3, v);
        high_ = high_ ? v < mid : v <= mid;
    }
    std::int32_t get() const { return values_[2]; }

private:
    std::int32_t values_[5] = {0, 0, 0, 0, 0};
    bool high_ = true;
};

}  // namespace las::detail
