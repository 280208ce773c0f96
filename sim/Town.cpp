#include "Town.h"

#include <algorithm>
#include <cmath>

#include "detail/PlaneGeometry.h"

namespace sim::town {

namespace {

constexpr double kCell = 25.0;

double smoothstep(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Height of a face's plane over a point (Newell's normal, so any planar ring works).
double planeHeight(const RoofFace& face, geodesy::PlanarPoint p) {
    double nx = 0, ny = 0, nz = 0;
    const auto& r = face.ring;
    for (std::size_t i = 0; i < r.size(); ++i) {
        const auto& a = r[i];
        const auto& b = r[(i + 1) % r.size()];
        nx += (a.y - b.y) * (a.z + b.z);
        ny += (a.z - b.z) * (a.x + b.x);
        nz += (a.x - b.x) * (a.y + b.y);
    }
    if (std::fabs(nz) < 1e-9) return r[0].z;
    return r[0].z - (nx * (p.x - r[0].x) + ny * (p.y - r[0].y)) / nz;
}

std::vector<geodesy::PlanarPoint> flat(const RoofFace& face) {
    std::vector<geodesy::PlanarPoint> out;
    for (const auto& q : face.ring) out.push_back({q.x, q.y});
    return out;
}

}  // namespace

bool Building::covers(geodesy::PlanarPoint p) const {
    return detail::contains(outline, p) && (courtyard.empty() || !detail::contains(courtyard, p));
}

double Building::roofHeight(geodesy::PlanarPoint p) const {
    const RoofFace* nearest = nullptr;
    double best = 1e300;
    for (const RoofFace& face : roofFaces) {
        const auto ring = flat(face);
        if (detail::contains(ring, p)) return planeHeight(face, p);
        const double d = detail::distanceToRing(ring, p);
        if (d < best) best = d, nearest = &face;
    }
    return nearest ? planeHeight(*nearest, p) : eaveZ;
}

double Building::footprintArea() const {
    return detail::area(outline) - (courtyard.empty() ? 0.0 : detail::area(courtyard));
}

double Town::waterLevel(double e) const { return 171.0 + 0.004 * (e - centre.x) - 1.2; }

double Town::riverOffset(double e, double n) const {
    const double x = e - centre.x;
    const double y = -190.0 + 35.0 * std::sin(x / 230.0 + 0.7) + 15.0 * std::sin(x / 90.0 + 1.3);
    const double slope = 35.0 / 230.0 * std::cos(x / 230.0 + 0.7) + 15.0 / 90.0 * std::cos(x / 90.0 + 1.3);
    return (n - centre.y - y) / std::sqrt(1.0 + slope * slope);
}

double Town::groundHeight(double e, double n) const {
    const double x = e - centre.x, y = n - centre.y;
    const double d = riverOffset(e, n), ad = std::fabs(d), half = riverWidth / 2;
    const double water = waterLevel(e);
    if (ad <= half) return water;
    if (ad < half + 6.0) return water + 1.2 * (ad - half) / 6.0;
    const double plain = water + 1.2;
    const double rise = (d > 0 ? 26.0 : 19.0) * smoothstep((ad - 30.0) / 400.0);
    const double undulation = 0.9 * std::sin(x / 130.0) * std::cos(y / 160.0) * smoothstep((ad - 20.0) / 100.0);
    return plain + rise + undulation;
}

bool Town::onBridge(double e, double n, double* deckZ) const {
    if (std::fabs(riverOffset(e, n)) > riverWidth / 2 + 6.0) return false;
    for (int s : bridgeStreets_) {
        const Street& street = streets[static_cast<std::size_t>(s)];
        if (detail::distanceToPolyline(street.centre, {e, n}) <= street.width / 2) {
            if (deckZ) *deckZ = waterLevel(e) + 1.2 + 0.3;
            return true;
        }
    }
    return false;
}

Surface Town::surfaceAt(double e, double n) const {
    const geodesy::PlanarPoint p{e, n};
    if (const Cell* cell = cellAt(e, n)) {
        for (int i : cell->buildings) {
            const Building& b = buildings[static_cast<std::size_t>(i)];
            if (b.covers(p)) return {b.roofHeight(p), 6};
        }
        double best = -1e300;
        for (int i : cell->trees) {
            const Tree& t = trees[static_cast<std::size_t>(i)];
            const double d = std::hypot(e - t.centre.x, n - t.centre.y) / t.radius;
            if (d < 1.0) best = std::max(best, t.crownBase + (t.top - t.crownBase) * std::sqrt(1.0 - d * d));
        }
        if (best > -1e300) return {best, 5};
    }
    double deck = 0.0;
    if (onBridge(e, n, &deck)) return {deck, 17};
    if (std::fabs(riverOffset(e, n)) <= riverWidth / 2) return {waterLevel(e), 9};
    return {groundHeight(e, n), 2};
}

const Town::Cell* Town::cellAt(double e, double n) const {
    const int c = static_cast<int>(std::floor((e - gridMinE_) / kCell));
    const int r = static_cast<int>(std::floor((n - gridMinN_) / kCell));
    if (c < 0 || r < 0 || c >= gridCols_ || r >= gridRows_) return nullptr;
    return &grid_[static_cast<std::size_t>(r) * static_cast<std::size_t>(gridCols_) + static_cast<std::size_t>(c)];
}

void Town::index() {
    gridMinE_ = extent.minE, gridMinN_ = extent.minN;
    gridCols_ = static_cast<int>(std::ceil(extent.width() / kCell)) + 1;
    gridRows_ = static_cast<int>(std::ceil(extent.height() / kCell)) + 1;
    grid_.assign(static_cast<std::size_t>(gridCols_) * static_cast<std::size_t>(gridRows_), Cell{});
    const auto cover = [&](double minE, double minN, double maxE, double maxN, auto add) {
        const int c0 = std::max(0, static_cast<int>(std::floor((minE - gridMinE_) / kCell)));
        const int c1 = std::min(gridCols_ - 1, static_cast<int>(std::floor((maxE - gridMinE_) / kCell)));
        const int r0 = std::max(0, static_cast<int>(std::floor((minN - gridMinN_) / kCell)));
        const int r1 = std::min(gridRows_ - 1, static_cast<int>(std::floor((maxN - gridMinN_) / kCell)));
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                add(grid_[static_cast<std::size_t>(r) * static_cast<std::size_t>(gridCols_) +
                          static_cast<std::size_t>(c)]);
    };
    for (std::size_t i = 0; i < buildings.size(); ++i) {
        double minE = 1e300, minN = 1e300, maxE = -1e300, maxN = -1e300;
        for (const auto& p : buildings[i].outline)
            minE = std::min(minE, p.x), maxE = std::max(maxE, p.x), minN = std::min(minN, p.y),
            maxN = std::max(maxN, p.y);
        cover(minE, minN, maxE, maxN, [&](Cell& cell) { cell.buildings.push_back(static_cast<int>(i)); });
    }
    for (std::size_t i = 0; i < trees.size(); ++i) {
        const Tree& t = trees[i];
        cover(t.centre.x - t.radius, t.centre.y - t.radius, t.centre.x + t.radius, t.centre.y + t.radius,
              [&](Cell& cell) { cell.trees.push_back(static_cast<int>(i)); });
    }
    bridgeStreets_.clear();
    for (std::size_t s = 0; s < streets.size(); ++s) {
        bool crosses = false;
        for (const auto& p : streets[s].centre) crosses = crosses || std::fabs(riverOffset(p.x, p.y)) < riverWidth;
        if (crosses) bridgeStreets_.push_back(static_cast<int>(s));
    }
}

std::vector<const Building*> Town::buildingsIn(const geodesy::Bbox& box) const {
    std::vector<const Building*> out;
    for (const Building& b : buildings) {
        bool meets = false;
        double minE = 1e300, minN = 1e300, maxE = -1e300, maxN = -1e300;
        for (const auto& p : b.outline)
            minE = std::min(minE, p.x), maxE = std::max(maxE, p.x), minN = std::min(minN, p.y),
            maxN = std::max(maxN, p.y);
        meets = minE <= box.maxE && maxE >= box.minE && minN <= box.maxN && maxN >= box.minN;
        if (meets) out.push_back(&b);
    }
    return out;
}

std::vector<const Tree*> Town::treesIn(const geodesy::Bbox& box) const {
    std::vector<const Tree*> out;
    for (const Tree& t : trees)
        if (t.centre.x + t.radius >= box.minE && t.centre.x - t.radius <= box.maxE &&
            t.centre.y + t.radius >= box.minN && t.centre.y - t.radius <= box.maxN)
            out.push_back(&t);
    return out;
}

const Town& demoTown() {
    static const Town town = generateTown(kDemoSeed);
    return town;
}

}  // namespace sim::town
