// Point count, counts by return and bounds gathered from raw point records, for writing a header.
#pragma once
#include <array>
#include <cstdint>

#include "formats/las/LasHeader.h"

namespace las {

class LasRecordTally {
public:
    explicit LasRecordTally(const LasHeader& header);
    void add(const char* record);
    // Writes count, counts by return and bounds into the header (zero bounds when empty).
    void applyTo(LasHeader& header) const;
    std::uint64_t count() const { return count_; }

private:
    bool extended_;
    double scale_[3], offset_[3];
    std::uint64_t count_ = 0;
    std::array<std::uint64_t, 15> byReturn_{};
    std::int32_t min_[3] = {0, 0, 0}, max_[3] = {0, 0, 0};
};

}  // namespace las
