#include "cloud_ui/VoxelSet.h"

namespace cloudui {

namespace {

constexpr int kBitsPerAxis = 21;
constexpr std::int64_t kAxisHalfRange = std::int64_t{1} << (kBitsPerAxis - 1);

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 31;
    x *= 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    return x;
}

bool fitsAxis(std::int64_t d) { return d >= -kAxisHalfRange && d < kAxisHalfRange; }

}  // namespace

std::size_t VoxelSet::KeyHash::operator()(const Key& key) const {
    return static_cast<std::size_t>(
        mix(static_cast<std::uint64_t>(key.i) ^
            mix(static_cast<std::uint64_t>(key.j) ^ mix(static_cast<std::uint64_t>(key.k)))));
}

bool VoxelSet::insert(std::int64_t i, std::int64_t j, std::int64_t k) {
    if (!hasBase_) {
        hasBase_ = true;
        baseI_ = i;
        baseJ_ = j;
        baseK_ = k;
    }
    // A difference that overflows is simply far; it must not wrap around into the packed range.
    std::int64_t di = 0, dj = 0, dk = 0;
    const bool near = !__builtin_sub_overflow(i, baseI_, &di) && !__builtin_sub_overflow(j, baseJ_, &dj) &&
                      !__builtin_sub_overflow(k, baseK_, &dk) && fitsAxis(di) && fitsAxis(dj) && fitsAxis(dk);
    if (near) {
        const std::uint64_t word = static_cast<std::uint64_t>(di + kAxisHalfRange) |
                                   (static_cast<std::uint64_t>(dj + kAxisHalfRange) << kBitsPerAxis) |
                                   (static_cast<std::uint64_t>(dk + kAxisHalfRange) << (2 * kBitsPerAxis));
        return insertPacked(word + 1);
    }
    return far_.insert(Key{i, j, k}).second;
}

bool VoxelSet::insertPacked(std::uint64_t word) {
    // Keep the table at most 70% full so probe runs stay short.
    if (slots_.empty() || (packedCount_ + 1) * 10 > slots_.size() * 7) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = mix(word) & mask;; at = (at + 1) & mask) {
        if (slots_[at] == word) return false;
        if (slots_[at] == 0) {
            slots_[at] = word;
            ++packedCount_;
            return true;
        }
    }
}

void VoxelSet::grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint64_t word : old) {
        if (word == 0) continue;
        std::size_t at = mix(word) & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = word;
    }
}

}  // namespace cloudui
