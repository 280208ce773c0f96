#include "WorldPainter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

#include "CloudScenario.h"
#include "ElevationScenario.h"
#include "PolandScenario.h"
#include "StructuresScenario.h"
#include "TownPainter.h"
#include "geodesy/Crs.h"

namespace sim {

namespace {

using geodesy::PlanarPoint;
using Ring = std::vector<PlanarPoint>;

constexpr double kPi = 3.14159265358979323846;

Ring boxRing(const geodesy::Bbox& b) {
    return {{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}};
}

// Light on a slope of the given gradient, 1 on flat ground.
double hillshade(double dzdx, double dzdy) {
    const double nx = -dzdx, ny = -dzdy, nz = 1.0;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double lx = 0.2, ly = -0.62, lz = 0.76;
    return std::clamp(0.35 + 0.65 * (nx * lx + ny * ly + nz * lz) / len / lz, 0.4, 1.3);
}

template <class Height>
void relief(RasterCanvas& canvas, const geodesy::Bbox& box, Height height, double exaggeration) {
    if (!canvas.meets(box)) return;
    canvas.tint({boxRing(box)}, [&](PlanarPoint p) {
        const double d = std::max(1.0, canvas.metresPerPixel());
        return hillshade(exaggeration * (height(p.x + d, p.y) - height(p.x - d, p.y)) / (2 * d),
                         exaggeration * (height(p.x, p.y + d) - height(p.x, p.y - d)) / (2 * d));
    });
}

std::uint32_t texturedAt(std::uint32_t base, PlanarPoint p, double amount, std::uint32_t seed) {
    return rgbaScaled(base, 1.0 + amount * (valueNoise(p.x, p.y, 5.0, seed) - 0.5) * 2);
}

// A gabled roof over a rectangle given by its four corners, the ridge along the longer side.
void gabledRoof(RasterCanvas& canvas, Ring c, std::uint32_t colour) {
    if (std::hypot(c[1].x - c[0].x, c[1].y - c[0].y) < std::hypot(c[2].x - c[1].x, c[2].y - c[1].y))
        std::rotate(c.begin(), c.begin() + 1, c.end());
    const PlanarPoint m0{(c[0].x + c[3].x) / 2, (c[0].y + c[3].y) / 2},
        m1{(c[1].x + c[2].x) / 2, (c[1].y + c[2].y) / 2};
    const double ax = m0.x - c[0].x, ay = m0.y - c[0].y, len = std::hypot(ax, ay);
    // The half facing the sun is lighter.
    const double facing = (-ax * 0.2 + -ay * -0.62) / len;
    canvas.fill({{c[0], c[1], m1, m0}}, rgbaScaled(colour, 1.0 + 0.25 * facing));
    canvas.fill({{m0, m1, c[2], c[3]}}, rgbaScaled(colour, 1.0 - 0.25 * facing));
}

void paintPolishPlaces(RasterCanvas& canvas) {
    for (const poland::Place* place : poland::places()) {
        const PlanarPoint c = poland::centre1992(*place);
        const geodesy::Bbox block{c.x - poland::kBlockWidth / 2, c.y - poland::kBlockHeight / 2,
                                  c.x + poland::kBlockWidth / 2, c.y + poland::kBlockHeight / 2};
        if (!canvas.meets({block.minE - 20, block.minN - 20, block.maxE + 20, block.maxN + 20})) continue;
        FeatureStore store;
        poland::addParcelBlock(store, "p", "b", "000000", "0001", c, poland::kBlockColumns, poland::kBlockRows);
        Ring street = boxRing({block.minE - 4, block.minN - 4, block.maxE + 4, block.maxN + 4});
        street.push_back(street.front());
        canvas.stroke(street, 8.0, 0x606264FF);
        for (const SimFeature* f : store.query("p", nullptr))
            canvas.fill({f->rings[0]}, [](PlanarPoint p) { return texturedAt(0x6F9049FF, p, 0.1, 21); });
        for (const SimFeature* f : store.query("b", nullptr)) {
            Ring r(f->rings[0].begin(), f->rings[0].end() - 1);
            gabledRoof(canvas, r, 0xA4503CFF);
        }
    }
}

void paintElevationSites(RasterCanvas& canvas) {
    using namespace elevation;
    const geodesy::Bbox hills = frameAround(kHills, 2 * kHillsHalfExtent, 2 * kHillsHalfExtent);
    relief(canvas, hills, hillsHeight, 3.0);
    if (canvas.meets(hills)) {
        // The surface model's blocks: 30 x 20 m in every 100 m cell.
        canvas.fill({boxRing(hills)}, [](PlanarPoint p) -> std::uint32_t {
            const double de = std::fmod(std::fabs(p.x - kHills.e), 100.0),
                         dn = std::fmod(std::fabs(p.y - kHills.n), 100.0);
            return de < 30 && dn < 20 ? texturedAt(0x8E8C88FF, p, 0.05, 31) : 0u;
        });
    }
    const geodesy::Bbox valley = frameAround(kValley, 1200, 1200);
    relief(canvas, valley, valleyHeight, 3.0);
    if (canvas.meets(valley)) canvas.stroke({{kValley.e, valley.minN}, {kValley.e, valley.maxN}}, 5.0, 0x3E5B5CFF);
}

// Points of the LiDAR places, cached per sheet in PL-1992.
const std::vector<cloud::LidarPoint>& placePoints(const cloud::LidarSheet& sheet) {
    static std::mutex mutex;
    static std::map<std::string, std::vector<cloud::LidarPoint>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(sheet.emblem);
    if (found != cache.end()) return found->second;
    std::vector<cloud::LidarPoint> points = cloud::sheetPoints(sheet);
    if (sheet.epsg != 2180)
        for (cloud::LidarPoint& p : points) {
            const PlanarPoint q = geodesy::pl2000ToPl1992(p.x, p.y, sheet.epsg);
            p.x = q.x, p.y = q.y;
        }
    return cache.emplace(sheet.emblem, std::move(points)).first->second;
}

void paintLidarPlaces(RasterCanvas& canvas) {
    // The open sea off the coast, where the scanner recorded nothing.
    const geodesy::Bbox sea{cloud::helShoreE(), cloud::kHelCoast.minN - 3000, cloud::kHelCoast.maxE + 3000,
                            cloud::kHelCoast.maxN + 3000};
    if (canvas.meets(sea))
        canvas.fill({boxRing(sea)}, [](PlanarPoint p) { return texturedAt(0x2F5670FF, p, 0.05, 41); });
    for (const cloud::LidarSheet& sheet : cloud::lidarSheets()) {
        if (!canvas.meets(sheet.outline1992)) continue;
        const double size = 1.0 / std::sqrt(sheet.density);
        const double pixels = std::max(1.0, size / canvas.metresPerPixel());
        for (const cloud::LidarPoint& p : placePoints(sheet)) {
            const PlanarPoint at = canvas.toPixel({p.x, p.y});
            const int x0 = static_cast<int>(std::floor(at.x - pixels / 2)),
                      y0 = static_cast<int>(std::floor(at.y - pixels / 2));
            const std::uint32_t colour = (static_cast<std::uint32_t>(p.red) << 24) |
                                         (static_cast<std::uint32_t>(p.green) << 16) |
                                         (static_cast<std::uint32_t>(p.blue) << 8) | 0xFFu;
            for (int y = y0; y < y0 + static_cast<int>(std::ceil(pixels)); ++y)
                for (int x = x0; x < x0 + static_cast<int>(std::ceil(pixels)); ++x) canvas.blend(x, y, colour);
        }
    }
}

void paintStructuresSite(RasterCanvas& canvas) {
    const geodesy::Bbox site = structures::siteFrame();
    if (!canvas.meets(site)) return;
    canvas.fill({boxRing(site)}, [](PlanarPoint p) { return texturedAt(0x7A9652FF, p, 0.12, 52); });
    relief(
        canvas, site, [](double e, double n) { return structures::groundHeight(e, n); }, 3.0);
    double lowest = 1e300, riverN = site.minN;
    for (double n = site.minN; n < site.maxN; n += 1.0)
        if (structures::groundHeight(site.minE, n) < lowest)
            lowest = structures::groundHeight(site.minE, n), riverN = n;
    canvas.stroke({{site.minE - 200, riverN}, {site.maxE + 200, riverN}}, 8.0, 0x3E5B5CFF);
    for (const structures::Way& way : structures::siteWays()) {
        double width = 6.0;
        bool tram = false;
        for (const auto& [k, v] : way.tags) {
            if (std::string(k) == "width") width = std::atof(v);
            if (std::string(k) == "railway") tram = true;
        }
        canvas.stroke(way.points, tram ? 1.5 : width, tram ? 0x4A4A4AFF : 0x5E6062FF);
    }
    for (const roofs::KnownBuilding& b : structures::siteBuildings()) {
        canvas.fill({b.footprint()}, [&b](PlanarPoint p) {
            const double d = 0.2;
            const double shade = hillshade((b.roofHeight(p.x + d, p.y) - b.roofHeight(p.x - d, p.y)) / (2 * d),
                                           (b.roofHeight(p.x, p.y + d) - b.roofHeight(p.x, p.y - d)) / (2 * d));
            return texturedAt(rgbaScaled(0xA4503CFF, shade), p, 0.04, 51);
        });
    }
}

}  // namespace

void paintCountryside(RasterCanvas& canvas) {
    static const std::uint32_t crops[] = {0xC9B77AFF, 0xB5A46CFF, 0x8FA05AFF, 0x7E9148FF,
                                          0x9C8565FF, 0xD2C48EFF, 0x86A055FF, 0xA9A070FF};
    // Strips of fields in a frame turned by 12 degrees, broken by meadows and woods.
    const double c = std::cos(12 * kPi / 180), s = std::sin(12 * kPi / 180);
    canvas.paint([&](PlanarPoint p) -> std::uint32_t {
        const double land = valueNoise(p.x, p.y, 700.0, 61);
        if (land > 0.72) return rgbaScaled(0x3B5E2EFF, 0.85 + 0.3 * valueNoise(p.x, p.y, 3.0, 62));  // wood
        const double u = p.x * c + p.y * s, v = -p.x * s + p.y * c;
        const long long column = static_cast<long long>(std::floor(u / 45.0));
        const double shift = hashUnit(column, 0, 63) * 300.0;
        const long long row = static_cast<long long>(std::floor((v + shift) / 260.0));
        std::uint32_t base = crops[static_cast<int>(hashUnit(column, row, 64) * 8)];
        if (land < 0.3) base = 0x7A9652FF;  // meadow
        const double furrows = 0.95 + 0.05 * std::sin(v * 2.2);
        return rgbaScaled(base, furrows * (0.92 + 0.16 * valueNoise(p.x, p.y, 9.0, 65)));
    });
}

void paintWorld(RasterCanvas& canvas) {
    // A box far outside the systems' reach (a world-wide map tile) has no PL-1992 extent worth painting.
    const geodesy::Bbox& x = canvas.extent();
    if (!std::isfinite(x.minE) || !std::isfinite(x.minN) || !std::isfinite(x.maxE) || !std::isfinite(x.maxN)) return;
    paintCountryside(canvas);
    paintTown(town::demoTown(), canvas);
    paintPolishPlaces(canvas);
    paintElevationSites(canvas);
    paintLidarPlaces(canvas);
    paintStructuresSite(canvas);
}

}  // namespace sim
