// The coordinate predictor against the insertion scheme LASzip spells out, value by value.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "formats/las/detail/LazMedian5.h"

namespace {

// LASzip's own nested comparisons, kept as the reference the branch-free version must equal.
struct ReferenceMedian5 {
    std::int32_t v[5] = {0, 0, 0, 0, 0};
    bool high = true;
    void add(std::int32_t x) {
        if (high) {
            if (x < v[2]) {
                v[4] = v[3];
                v[3] = v[2];
                if (x < v[0]) v[2] = v[1], v[1] = v[0], v[0] = x;
                else if (x < v[1]) v[2] = v[1], v[1] = x;
                else v[2] = x;
            } else {
                if (x < v[3]) v[4] = v[3], v[3] = x;
                else v[4] = x;
                high = false;
            }
        } else {
            if (v[2] < x) {
                v[0] = v[1];
                v[1] = v[2];
                if (v[4] < x) v[2] = v[3], v[3] = v[4], v[4] = x;
                else if (v[3] < x) v[2] = v[3], v[3] = x;
                else v[2] = x;
            } else {
                if (v[1] < x) v[0] = v[1], v[1] = x;
                else v[0] = x;
                high = true;
            }
        }
    }
};

}  // namespace

// Narrow ranges force ties; the wide one reaches the ends of the 32-bit range.
TEST(LazMedian5, EqualsTheReferenceSchemeAfterEveryValue) {
    for (const std::int64_t range : {std::int64_t{2}, std::int64_t{7}, std::int64_t{1000}, std::int64_t{1} << 32}) {
        std::mt19937_64 random(static_cast<std::uint64_t>(range));
        std::uniform_int_distribution<std::int64_t> pick(-range / 2, (range - 1) / 2);
        ReferenceMedian5 expected;
        las::detail::LazMedian5 median;
        for (int i = 0; i < 20000; ++i) {
            const auto x = static_cast<std::int32_t>(pick(random));
            expected.add(x);
            median.add(x);
            ASSERT_EQ(median.get(), expected.v[2]) << "range " << range << ", value " << i;
        }
    }
}
