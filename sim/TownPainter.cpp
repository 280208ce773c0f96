#include "TownPainter.h"

#include <algorithm>
#include <cmath>

#include "detail/PlaneGeometry.h"

namespace sim {

namespace {

using geodesy::PlanarPoint;

// Towards the sun: south-south-east, about 50 degrees high (shadows fall to the north-north-west).
constexpr double kSunX = 0.2, kSunY = -0.62, kSunZ = 0.76;
constexpr double kShadowX = -0.15, kShadowY = 0.45;  // shadow per metre of height

double lit(double nx, double ny, double nz) {
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double d =
        (nx * kSunX + ny * kSunY + nz * kSunZ) / (len * std::sqrt(kSunX * kSunX + kSunY * kSunY + kSunZ * kSunZ));
    return 0.5 + 0.55 * std::max(0.0, d);
}

geodesy::Bbox boundsOfRing(const std::vector<PlanarPoint>& ring, double margin = 0.0) {
    geodesy::Bbox b{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const auto& p : ring)
        b.minE = std::min(b.minE, p.x), b.maxE = std::max(b.maxE, p.x), b.minN = std::min(b.minN, p.y),
        b.maxN = std::max(b.maxN, p.y);
    return {b.minE - margin, b.minN - margin, b.maxE + margin, b.maxN + margin};
}

std::uint32_t textured(std::uint32_t base, PlanarPoint p, double coarse, double fine, std::uint32_t seed) {
    const double v = 1.0 + coarse * (valueNoise(p.x, p.y, 7.0, seed) - 0.5) * 2 +
                     fine *
                         (hashUnit(static_cast<long long>(std::floor(p.x / 0.3)),
                                   static_cast<long long>(std::floor(p.y / 0.3)), seed + 7) -
                          0.5) *
                         2;
    return rgbaScaled(base, v);
}

// The town's unparcelled land is meadow, fading into the fields around along a wandering edge.
void paintCommons(const town::Town& t, RasterCanvas& canvas) {
    const geodesy::Bbox& x = t.extent;
    canvas.fill({{{x.minE, x.minN}, {x.maxE, x.minN}, {x.maxE, x.maxN}, {x.minE, x.maxN}}},
                [&t](PlanarPoint q) -> std::uint32_t {
                    const double dx = (q.x - t.centre.x) / 980.0, dy = (q.y - t.centre.y) / 820.0;
                    const double edge =
                        1.0 - std::sqrt(dx * dx + dy * dy) + 0.25 * (valueNoise(q.x, q.y, 120.0, 12) - 0.5);
                    if (edge < 0) return 0;
                    const std::uint32_t grass = textured(0x7A9652FF, q, 0.14, 0.06, 13);
                    return (grass & 0xFFFFFF00u) | static_cast<std::uint32_t>(std::min(255.0, edge * 2000.0));
                });
}

void paintParcels(const town::Town& t, RasterCanvas& canvas) {
    static const std::uint32_t crops[] = {0xC9B77AFF, 0xB9A66BFF, 0x8FA05AFF, 0x7E9148FF, 0x9C8565FF, 0xD2C48EFF};
    for (std::size_t i = 0; i < t.parcels.size(); ++i) {
        const town::Parcel& p = t.parcels[i];
        if (!canvas.meets(boundsOfRing(p.ring))) continue;
        const std::uint32_t seed = static_cast<std::uint32_t>(i) * 7919u;
        switch (p.use) {
            case town::LandUse::Field: {
                // Furrows along the parcel's length.
                const PlanarPoint a = p.ring[0], b = p.ring[1];
                const double len = std::hypot(b.x - a.x, b.y - a.y);
                const PlanarPoint d{(b.x - a.x) / len, (b.y - a.y) / len};
                const std::uint32_t crop = crops[seed % 6];
                canvas.fill({p.ring}, [=](PlanarPoint q) {
                    const double stripe = 0.93 + 0.07 * std::sin((q.x * d.x + q.y * d.y) * 2.4);
                    return rgbaScaled(textured(crop, q, 0.07, 0.04, seed), stripe);
                });
                break;
            }
            case town::LandUse::Meadow:
                canvas.fill({p.ring}, [=](PlanarPoint q) { return textured(0x7A9652FF, q, 0.14, 0.06, seed); });
                break;
            case town::LandUse::Centre:
                canvas.fill({p.ring}, [=](PlanarPoint q) { return textured(0x7E8D55FF, q, 0.14, 0.07, seed); });
                break;
            case town::LandUse::Yard:
                canvas.fill({p.ring}, [=](PlanarPoint q) { return textured(0x6F9049FF, q, 0.12, 0.06, seed); });
                break;
        }
        if (p.use == town::LandUse::Yard && canvas.metresPerPixel() < 0.8) {
            std::vector<PlanarPoint> fence = p.ring;
            fence.push_back(p.ring.front());
            canvas.stroke(fence, 0.45, 0x4E6B35FF);
        }
    }
}

void paintWaterAndStreets(const town::Town& t, RasterCanvas& canvas) {
    canvas.stroke(t.river, t.riverWidth + 6.0, [](PlanarPoint q) { return textured(0x7D7B5CFF, q, 0.1, 0.08, 5); });
    canvas.stroke(t.river, t.riverWidth, [](PlanarPoint q) { return textured(0x3E5B5CFF, q, 0.06, 0.02, 6); });
    // The square: cobbles, its green and the paths across it.
    canvas.fill({t.square}, [](PlanarPoint q) { return textured(0xB3A896FF, q, 0.05, 0.1, 8); });
    canvas.fill({t.park}, [](PlanarPoint q) { return textured(0x6A8F45FF, q, 0.1, 0.05, 9); });
    const PlanarPoint a = t.park[0], b = t.park[1], c = t.park[2], d = t.park[3];
    canvas.stroke({a, c}, 2.5, 0xC9BC9EFF);
    canvas.stroke({b, d}, 2.5, 0xC9BC9EFF);
    for (const town::Street& s : t.streets) {
        if (!canvas.meets(boundsOfRing(s.centre, s.width))) continue;
        canvas.stroke(s.centre, s.width, [](PlanarPoint q) { return textured(0xAAA59BFF, q, 0.04, 0.06, 10); });
        const double road = s.width >= 9 ? s.width - 3.6 : s.width - 1.0;
        canvas.stroke(s.centre, road, [](PlanarPoint q) { return textured(0x5E6062FF, q, 0.05, 0.05, 11); });
    }
    // Paved yards inside the courtyard buildings.
    for (const town::Building* building : t.buildingsIn(canvas.extent()))
        if (!building->courtyard.empty())
            canvas.fill({building->courtyard}, [](PlanarPoint q) { return textured(0x9B9384FF, q, 0.05, 0.08, 14); });
    // A dashed centre line on the main street.
    const town::Street& main = t.streets.front();
    if (canvas.metresPerPixel() < 0.3) {
        const std::vector<double> lengths = detail::arcLengths(main.centre);
        for (double s = 0; s + 3 < lengths.back(); s += 9) {
            const auto dash = detail::offsetPart(main.centre, lengths, s, s + 3, 0.0);
            canvas.stroke(dash, 0.15, 0xE8E8E0FF);
        }
    }
}

void paintShadows(const town::Town& t, RasterCanvas& canvas) {
    std::vector<std::uint8_t> mask(
        static_cast<std::size_t>(canvas.image().width) * static_cast<std::size_t>(canvas.image().height), 0);
    bool any = false;
    const geodesy::Bbox view = canvas.extent();
    const geodesy::Bbox wide{view.minE - 30, view.minN - 30, view.maxE + 30, view.maxN + 30};
    for (const town::Building* b : t.buildingsIn(wide)) {
        const double h = (b->eaveZ + b->ridgeZ) / 2 - b->groundZ;
        const PlanarPoint s{kShadowX * h, kShadowY * h};
        std::vector<std::vector<PlanarPoint>> rings;
        std::vector<PlanarPoint> moved;
        for (std::size_t i = 0; i < b->outline.size(); ++i) {
            const PlanarPoint& p = b->outline[i];
            const PlanarPoint& q = b->outline[(i + 1) % b->outline.size()];
            moved.push_back({p.x + s.x, p.y + s.y});
            rings.push_back({p, q, {q.x + s.x, q.y + s.y}, {p.x + s.x, p.y + s.y}});
        }
        rings.push_back(moved);
        for (const auto& r : rings) canvas.mark({r}, mask);
        any = true;
    }
    for (const town::Tree* tree : t.treesIn(wide)) {
        // A crown's shadow starts under it: only its upper part reaches past the crown's edge.
        const double h = (tree->top - t.groundHeight(tree->centre.x, tree->centre.y)) * 0.45;
        std::vector<PlanarPoint> disc;
        for (int k = 0; k < 16; ++k)
            disc.push_back({tree->centre.x + kShadowX * h + tree->radius * std::cos(k * 0.3927),
                            tree->centre.y + kShadowY * h + tree->radius * std::sin(k * 0.3927)});
        canvas.mark({disc}, mask);
        any = true;
    }
    if (!any) return;
    const int w = canvas.image().width;
    for (int y = 0; y < canvas.image().height; ++y)
        for (int x = 0; x < w; ++x)
            if (mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)])
                canvas.blend(x, y, rgbaScaled(canvas.pixel(x, y), 0.55));
}

void paintTrees(const town::Town& t, RasterCanvas& canvas) {
    static const std::uint32_t greens[] = {0x3F6B2EFF, 0x4A7A35FF, 0x365E2AFF, 0x55803AFF, 0x466F31FF};
    const geodesy::Bbox view = canvas.extent();
    for (const town::Tree* tree : t.treesIn(view)) {
        const PlanarPoint c = tree->centre;
        const double r = tree->radius;
        const std::uint32_t seed = static_cast<std::uint32_t>(std::fabs(c.x * 13 + c.y * 7));
        const std::uint32_t base = greens[seed % 5];
        canvas.fillCircle(c, r, [=](PlanarPoint q) {
            const double dx = (q.x - c.x) / r, dy = (q.y - c.y) / r;
            const double nz = std::sqrt(std::max(0.0, 1.0 - dx * dx - dy * dy));
            const double leaves = 0.85 + 0.3 * valueNoise(q.x, q.y, 0.9, seed);
            return rgbaScaled(base, lit(dx, dy, nz + 0.2) * leaves);
        });
    }
}

void paintRoofs(const town::Town& t, RasterCanvas& canvas) {
    for (const town::Building* b : t.buildingsIn(canvas.extent())) {
        const std::uint32_t seed = static_cast<std::uint32_t>(std::fabs(b->outline[0].x * 3 + b->outline[0].y));
        for (const town::RoofFace& face : b->roofFaces) {
            double nx = 0, ny = 0, nz = 0;
            const auto& r = face.ring;
            std::vector<PlanarPoint> flat;
            for (std::size_t i = 0; i < r.size(); ++i) {
                const auto& a = r[i];
                const auto& c = r[(i + 1) % r.size()];
                nx += (a.y - c.y) * (a.z + c.z), ny += (a.z - c.z) * (a.x + c.x), nz += (a.x - c.x) * (a.y + c.y);
                flat.push_back({a.x, a.y});
            }
            if (nz < 0) nx = -nx, ny = -ny, nz = -nz;
            const std::uint32_t colour = rgbaScaled(b->roofColour, lit(nx, ny, nz));
            const double fine = b->roof == town::Roof::Flat ? 0.06 : 0.04;
            canvas.fill({flat}, [=](PlanarPoint q) { return textured(colour, q, 0.04, fine, seed); });
        }
        // The eaves' edge, darker where the roof meets the wall's shadow.
        if (canvas.metresPerPixel() < 0.5) {
            std::vector<PlanarPoint> edge = b->outline;
            edge.push_back(b->outline.front());
            canvas.stroke(edge, 0.12, rgbaScaled(b->roofColour, 0.6));
        }
    }
}

}  // namespace

void paintTown(const town::Town& t, RasterCanvas& canvas) {
    if (!canvas.meets(t.extent)) return;
    paintCommons(t, canvas);
    paintParcels(t, canvas);
    paintWaterAndStreets(t, canvas);
    paintShadows(t, canvas);
    paintTrees(t, canvas);
    paintRoofs(t, canvas);
}

void paintPlanZones(const std::vector<town::PlanZone>& zones, RasterCanvas& canvas, std::uint8_t alpha) {
    for (const town::PlanZone& z : zones) {
        std::uint32_t colour = 0xC8C8C8FF;
        if (z.symbol == "MN" || z.symbol == "SJ") colour = 0xF2E27AFF;
        else if (z.symbol == "MW/U" || z.symbol == "SW") colour = 0xE89A5CFF;
        else if (z.symbol == "SU" || z.symbol == "UO") colour = 0xE05A5AFF;
        else if (z.symbol == "ZP" || z.symbol == "SZ") colour = 0x7DC46AFF;
        else if (z.symbol == "SR") colour = 0xD9EDB0FF;
        else if (z.symbol == "KDG") colour = 0xB4B4B4FF;
        canvas.fill({z.ring}, (colour & 0xFFFFFF00u) | alpha);
        std::vector<PlanarPoint> edge = z.ring;
        edge.push_back(z.ring.front());
        canvas.stroke(edge, canvas.metresPerPixel() * 1.5, 0x303030FF);
    }
}

}  // namespace sim
