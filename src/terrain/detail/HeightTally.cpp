#include "terrain/detail/HeightTally.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace terrain::detail {

void HeightTally::add(double z) {
    if (!std::isfinite(z)) return;
    const auto rounded = [this](double h) { return perMetre_ > 0.0 ? std::round(h * perMetre_) / perMetre_ : h; };
    ++count_;
    ++counts_[rounded(z)];
    while (counts_.size() > kMostDistinct) {
        perMetre_ = perMetre_ > 0.0 ? perMetre_ / 10.0 : 1000.0;
        std::unordered_map<double, std::uint64_t> merged;
        for (const auto& [height, n] : counts_) merged[rounded(height)] += n;
        counts_ = std::move(merged);
    }
}

double HeightTally::median() const {
    if (count_ == 0) return std::nan("");
    std::vector<std::pair<double, std::uint64_t>> sorted(counts_.begin(), counts_.end());
    std::sort(sorted.begin(), sorted.end());
    const std::uint64_t rank = count_ / 2;
    std::uint64_t seen = 0;
    for (const auto& [height, n] : sorted) {
        seen += n;
        if (seen > rank) return height;
    }
    return sorted.back().first;
}

}  // namespace terrain::detail
