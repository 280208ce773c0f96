// The median of many heights without holding them: a count per distinct height.
#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace terrain::detail {

// Heights of LiDAR points are whole multiples of the sheet's scale (usually 1 cm or 1 mm), so even millions of
// them take few distinct values and the median (element n/2) is exact. Past kMostDistinct distinct values the
// heights are counted rounded to 1 mm (then 1 cm, and so on), so the tally stays small whatever comes.
class HeightTally {
public:
    static constexpr std::size_t kMostDistinct = std::size_t{1} << 18;

    void add(double z);
    std::uint64_t count() const { return count_; }
    // Element count() / 2 of the heights in increasing order; NaN when there are none.
    double median() const;

private:
    std::unordered_map<double, std::uint64_t> counts_;
    std::uint64_t count_ = 0;
    double perMetre_ = 0.0;  // heights are rounded to 1 / perMetre_ m; 0 while they are kept exact
};

}  // namespace terrain::detail
