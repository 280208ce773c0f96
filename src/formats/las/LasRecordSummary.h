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
    // add() in two halves, so that several threads can share the work: tally() counts classes,
    // bounds and points in any order; chain() extends the hash and must see every record in file order.
    void tally(const char* records, std::uint64_t count);
    void chain(const char* records, std::uint64_t count);
    // Adds the tally (classes, bounds, points) of other records; the hash stays as it is.
    void merge(const LasRecordSummary& tallied);

    std::uint64_t count() const { return count_; }
    std::uint64_t hash() const { return hash_; }
    // For a reader that extends the hash itself while decoding (as chain() would).
    void setHash(std::uint64_t hash) { hash_ = hash; }
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
