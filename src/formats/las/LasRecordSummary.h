// What `las-info` reports of a sheet's records: points by class, bounds in record units, and the
// FNV-1a hash of every raw record in file order (equal for a LAZ and its uncompressed twin).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "formats/las/LasHeader.h"

namespace las {

class LasRecordSummary {
public:
    explicit LasRecordSummary(const LasHeader& header);
    // Takes `count` records back to back.
    void add(const char* records, std::uint64_t count);

    std::uint64_t count() const { return count_; }
    std::uint64_t hash() const { return hash_; }
    // Points per class byte (the 5-bit class of formats 0..5, the whole byte of formats 6..10).
    const std::array<std::uint64_t, 256>& classes() const { return classes_; }
    // Smallest and largest raw x, y, z (zero when empty).
    const std::int32_t* min() const { return min_; }
    const std::int32_t* max() const { return max_; }

private:
    std::size_t length_;
    std::size_t classAt_;
    unsigned classMask_;
    std::uint64_t count_ = 0;
    std::uint64_t hash_ = 0xcbf29ce484222325ull;
    std::array<std::uint64_t, 256> classes_{};
    std::int32_t min_[3] = {0, 0, 0}, max_[3] = {0, 0, 0};
};

}  // namespace las
