// Joins one level's marching-squares segments into lines by walking from cell to cell.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "geodesy/PlanarPoint.h"
#include "terrain/ContourGrid.h"

namespace terrain::detail {

// Gives the lines a sort of all segment ends by millimetre key would give (segments in cell order; a line
// starts at the first unused segment, grows at its tail, then at its head, each time by the first unused
// segment in creation order whose end has the same key), without storing segments or keys.
//
// An end strictly inside its edge in millimetres can share its key only with the neighbour across that
// edge; an end whose key is a node's key can share it only with ends in the four cells around that node.
// This holds when node keys strictly increase along both axes and every crossing lies within its edge
// (`usable()`); otherwise the caller joins segments the general way.
class ContourWalker {
public:
    explicit ContourWalker(const ContourGrid& grid);

    bool usable() const { return usable_; }

    // Walks the level at `z` over the cells it crosses (in cell order). Each line goes to `emit`, which
    // returns false to stop; returns false when stopped.
    template <class Emit>
    bool walkLevel(double z, std::span<const std::uint32_t> cells, Emit&& emit);

private:
    // A cell's segments at the current level: edges (0 AB, 1 BC, 2 DC, 3 AD) of each segment's ends.
    struct Cut {
        std::int32_t c = 0, r = 0;
        std::uint32_t index = 0;
        double h[4] = {};  // A = (c, r), B = (c + 1, r), C = (c + 1, r + 1), D = (c, r + 1)
        int count = 0;
        std::uint8_t edge[2][2] = {};
    };
    // Where a walk stands: a segment's end.
    struct End {
        Cut cut;
        int slot = 0;
        int end = 0;
    };

    bool cut(std::int32_t c, std::int32_t r, Cut& out) const;
    geodesy::PlanarPoint point(const Cut& k, int edge) const;
    // The node whose key an end on `edge` has, or false when its key is strictly inside the edge.
    bool nodeOf(const Cut& k, int edge, geodesy::PlanarPoint p, std::int32_t& nc, std::int32_t& nr) const;
    // Takes the next segment joined at `at` (whose point is `p`); `at` and `p` move to its far end.
    bool next(End& at, geodesy::PlanarPoint& p);
    bool takeFirstAtNode(std::int32_t nc, std::int32_t nr, End& at, geodesy::PlanarPoint& p);
    bool used(const Cut& k, int slot) const { return (used_[k.index] >> slot) & 1u; }
    void markUsed(const Cut& k, int slot) { used_[k.index] |= k.count == 1 ? 3u : (1u << slot); }

    const ContourGrid& grid_;
    std::int32_t cellCols_, cellRows_;
    bool usable_ = true;
    double z_ = 0.0;
    std::vector<double> xs_, ys_;
    std::vector<std::int64_t> colKey_, rowKey_;
    // Per cell: bit s set when segment s is in a line. Zeroed pages from calloc, touched only where crossed.
    std::unique_ptr<std::uint8_t[], void (*)(void*)> used_{nullptr, std::free};
    std::vector<geodesy::PlanarPoint> head_, tail_;
};

template <class Emit>
bool ContourWalker::walkLevel(double z, std::span<const std::uint32_t> cells, Emit&& emit) {
    z_ = z;
    bool going = true;
    for (std::uint32_t index : cells) {
        if (!going) break;
        if (used_[index] == 3u) continue;
        Cut k;
        if (!cut(static_cast<std::int32_t>(index % static_cast<std::uint32_t>(cellCols_)),
                 static_cast<std::int32_t>(index / static_cast<std::uint32_t>(cellCols_)), k))
            continue;
        for (int s = 0; s < k.count && going; ++s) {
            if (used(k, s)) continue;
            markUsed(k, s);
            const geodesy::PlanarPoint a = point(k, k.edge[s][0]);
            const geodesy::PlanarPoint b = point(k, k.edge[s][1]);
            tail_.assign({a, b});
            End at{k, s, 1};
            geodesy::PlanarPoint p = b;
            while (next(at, p)) tail_.push_back(p);
            head_.clear();
            at = End{k, s, 0};
            p = a;
            while (next(at, p)) head_.push_back(p);
            // Grown in reused buffers, kept at its exact size.
            std::vector<geodesy::PlanarPoint> line;
            line.reserve(head_.size() + tail_.size());
            line.insert(line.end(), head_.rbegin(), head_.rend());
            line.insert(line.end(), tail_.begin(), tail_.end());
            going = emit(std::move(line));
        }
    }
    for (std::uint32_t index : cells) used_[index] = 0;
    return going;
}

}  // namespace terrain::detail
