// The set of occupied thinning voxels: integer triples, each inserted once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace cloudui {

// Keys near the first one (within about a million voxels on each axis, hundreds of kilometres at the
// coarsest spacing) are packed into one 64-bit word in a flat open-addressing table: 8 to 16 bytes per
// voxel instead of a node per key. Any key farther away goes to an ordinary hash set, so every triple
// is still told apart exactly.
class VoxelSet {
public:
    // True when the voxel was empty (it is now occupied); false when it was already taken.
    bool insert(std::int64_t i, std::int64_t j, std::int64_t k);
    std::size_t size() const { return packedCount_ + far_.size(); }

private:
    struct Key {
        std::int64_t i, j, k;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };

    bool insertPacked(std::uint64_t word);
    void grow();

    bool hasBase_ = false;
    std::int64_t baseI_ = 0, baseJ_ = 0, baseK_ = 0;
    std::vector<std::uint64_t> slots_;  // 0 marks an empty slot; words are stored plus one
    std::size_t packedCount_ = 0;
    std::unordered_set<Key, KeyHash> far_;
};

}  // namespace cloudui
