#include "terrain/detail/ContourWalker.h"

#include <cmath>

#include "terrain/detail/ContourCrossing.h"

namespace terrain::detail {

namespace {

enum : int { kAB = 0, kBC = 1, kDC = 2, kAD = 3 };

// Node coordinates exactly as the cell sweep computes them, their millimetre keys, and whether every
// crossing computed from them stays within its edge (the difference of neighbouring nodes is exact).
bool axis(double origin, double step, std::int32_t n, std::vector<double>& at, std::vector<std::int64_t>& keys) {
    at.resize(static_cast<std::size_t>(n));
    keys.resize(static_cast<std::size_t>(n));
    bool ok = true;
    for (std::int32_t i = 0; i < n; ++i) {
        at[i] = origin + i * step;
        if (!(std::fabs(at[i]) < 1e12)) return false;
        keys[i] = std::llround(at[i] * 1000.0);
        if (i > 0) ok = ok && keys[i] > keys[i - 1] && at[i - 1] + (at[i] - at[i - 1]) == at[i];
    }
    return ok;
}

}  // namespace

ContourWalker::ContourWalker(const ContourGrid& grid) : grid_(grid), cellCols_(grid.nx - 1), cellRows_(grid.ny - 1) {
    usable_ = axis(grid.x0, grid.step, grid.nx, xs_, colKey_) && axis(grid.y0, grid.step, grid.ny, ys_, rowKey_);
    if (usable_)
        used_.reset(static_cast<std::uint8_t*>(
            std::calloc(static_cast<std::size_t>(cellCols_) * static_cast<std::size_t>(cellRows_), 1)));
    if (!used_) usable_ = false;
}

bool ContourWalker::cut(std::int32_t c, std::int32_t r, Cut& out) const {
    if (c < 0 || r < 0 || c >= cellCols_ || r >= cellRows_) return false;
    const double hA = grid_.at(c, r), hB = grid_.at(c + 1, r);
    const double hC = grid_.at(c + 1, r + 1), hD = grid_.at(c, r + 1);
    if (std::isnan(hA) || std::isnan(hB) || std::isnan(hC) || std::isnan(hD)) return false;
    const bool a = z_ > hA, b = z_ > hB, c2 = z_ > hC, d = z_ > hD;
    const bool crosses[4] = {a != b, b != c2, d != c2, a != d};
    const int count = crosses[0] + crosses[1] + crosses[2] + crosses[3];
    out.c = c;
    out.r = r;
    out.index = static_cast<std::uint32_t>(r) * static_cast<std::uint32_t>(cellCols_) + static_cast<std::uint32_t>(c);
    out.h[0] = hA;
    out.h[1] = hB;
    out.h[2] = hC;
    out.h[3] = hD;
    if (count == 2) {
        int n = 0;
        for (int e = 0; e < 4; ++e)
            if (crosses[e]) out.edge[0][n++] = static_cast<std::uint8_t>(e);
        out.count = 1;
    } else if (count == 4) {
        // Saddle: the centre average decides which corners the level separates.
        const double m = (hA + hB + hC + hD) / 4.0;
        if ((z_ > m) == a) {
            out.edge[0][0] = kAB, out.edge[0][1] = kBC, out.edge[1][0] = kDC, out.edge[1][1] = kAD;
        } else {
            out.edge[0][0] = kAB, out.edge[0][1] = kAD, out.edge[1][0] = kBC, out.edge[1][1] = kDC;
        }
        out.count = 2;
    } else {
        return false;
    }
    return true;
}

geodesy::PlanarPoint ContourWalker::point(const Cut& k, int edge) const {
    const double xl = xs_[k.c], xr = xs_[k.c + 1], yb = ys_[k.r], yt = ys_[k.r + 1];
    switch (edge) {
        case kAB: return crossAt(z_, xl, yb, k.h[0], xr, yb, k.h[1]);
        case kBC: return crossAt(z_, xr, yb, k.h[1], xr, yt, k.h[2]);
        case kDC: return crossAt(z_, xl, yt, k.h[3], xr, yt, k.h[2]);
        default: return crossAt(z_, xl, yb, k.h[0], xl, yt, k.h[3]);
    }
}

bool ContourWalker::nodeOf(const Cut& k, int edge, geodesy::PlanarPoint p, std::int32_t& nc, std::int32_t& nr) const {
    if (edge == kAB || edge == kDC) {
        nr = edge == kAB ? k.r : k.r + 1;
        const std::int64_t key = std::llround(p.x * 1000.0);
        if (key == colKey_[k.c]) return nc = k.c, true;
        if (key == colKey_[k.c + 1]) return nc = k.c + 1, true;
        return false;
    }
    nc = edge == kAD ? k.c : k.c + 1;
    const std::int64_t key = std::llround(p.y * 1000.0);
    if (key == rowKey_[k.r]) return nr = k.r, true;
    if (key == rowKey_[k.r + 1]) return nr = k.r + 1, true;
    return false;
}

bool ContourWalker::next(End& at, geodesy::PlanarPoint& p) {
    const int edge = at.cut.edge[at.slot][at.end];
    std::int32_t nc = 0, nr = 0;
    if (nodeOf(at.cut, edge, p, nc, nr)) return takeFirstAtNode(nc, nr, at, p);
    // Strictly inside the edge: only the neighbour across it has an end with this key.
    static constexpr int kDc[4] = {0, 1, 0, -1}, kDr[4] = {-1, 0, 1, 0}, kOpposite[4] = {kDC, kAD, kAB, kBC};
    Cut nb;
    if (!cut(at.cut.c + kDc[edge], at.cut.r + kDr[edge], nb)) return false;
    const int want = kOpposite[edge];
    for (int s = 0; s < nb.count; ++s) {
        for (int e = 0; e < 2; ++e) {
            if (nb.edge[s][e] != want) continue;
            if (used(nb, s)) return false;
            markUsed(nb, s);
            p = point(nb, nb.edge[s][1 - e]);
            at = End{nb, s, 1 - e};
            return true;
        }
    }
    return false;
}

bool ContourWalker::takeFirstAtNode(std::int32_t nc, std::int32_t nr, End& at, geodesy::PlanarPoint& p) {
    // The four cells around the node in cell order, and the corner the node is in each of them.
    const std::int32_t cs[4] = {nc - 1, nc, nc - 1, nc}, rs[4] = {nr - 1, nr - 1, nr, nr};
    static constexpr int kCorner[4] = {2, 3, 1, 0};  // C, D, B, A
    // Edges touching each corner A, B, C, D.
    static constexpr int kTouches[4][2] = {{kAB, kAD}, {kAB, kBC}, {kBC, kDC}, {kDC, kAD}};
    for (int q = 0; q < 4; ++q) {
        Cut k;
        if (!cut(cs[q], rs[q], k)) continue;
        const int corner = kCorner[q];
        for (int s = 0; s < k.count; ++s) {
            if (used(k, s)) continue;
            for (int e = 0; e < 2; ++e) {
                const int edge = k.edge[s][e];
                if (edge != kTouches[corner][0] && edge != kTouches[corner][1]) continue;
                std::int32_t kc = 0, kr = 0;
                if (!nodeOf(k, edge, point(k, edge), kc, kr) || kc != nc || kr != nr) continue;
                markUsed(k, s);
                p = point(k, k.edge[s][1 - e]);
                at = End{k, s, 1 - e};
                return true;
            }
        }
    }
    return false;
}

}  // namespace terrain::detail
