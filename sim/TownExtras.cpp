// The town's trees, utility lines under its streets and the zones of its general and local plans.
#include <algorithm>
#include <cmath>

#include "RasterCanvas.h"
#include "detail/TownLayout.h"
#include "platform/Numbers.h"

namespace sim::detail {

namespace {

struct Boxed {
    Ring ring;
    double minX, minY, maxX, maxY;
};

std::vector<Boxed> boxed(const std::vector<Ring>& rings) {
    std::vector<Boxed> out;
    for (const Ring& r : rings) {
        Boxed b{r, 1e300, 1e300, -1e300, -1e300};
        for (const Point& p : r)
            b.minX = std::min(b.minX, p.x), b.maxX = std::max(b.maxX, p.x), b.minY = std::min(b.minY, p.y),
            b.maxY = std::max(b.maxY, p.y);
        out.push_back(std::move(b));
    }
    return out;
}

// Distance from a point to the nearest ring of the list (0 inside one), looking no farther than `reach`.
double clearance(const std::vector<Boxed>& rings, Point p, double reach) {
    double best = reach;
    for (const Boxed& b : rings) {
        if (p.x < b.minX - reach || p.x > b.maxX + reach || p.y < b.minY - reach || p.y > b.maxY + reach) continue;
        if (contains(b.ring, p)) return 0.0;
        best = std::min(best, distanceToRing(b.ring, p));
    }
    return best;
}

}  // namespace

void plantTrees(town::Town& t, TownRandom& random) {
    std::vector<Ring> outlines, parcels;
    for (const town::Building& b : t.buildings) outlines.push_back(b.outline);
    for (const town::Parcel& p : t.parcels) parcels.push_back(p.ring);
    const std::vector<Boxed> built = boxed(outlines), plots = boxed(parcels);
    std::vector<Boxed> streetBoxes;
    for (const town::Street& s : t.streets) streetBoxes.push_back(boxed({s.centre}).front());
    const auto onStreet = [&](Point p, double margin) {
        for (std::size_t i = 0; i < t.streets.size(); ++i) {
            const Boxed& b = streetBoxes[i];
            const double reach = t.streets[i].width / 2 + margin;
            if (p.x < b.minX - reach || p.x > b.maxX + reach || p.y < b.minY - reach || p.y > b.maxY + reach) continue;
            if (distanceToPolyline(t.streets[i].centre, p) < reach) return true;
        }
        return false;
    };
    const auto plant = [&](Point c, double radius, double height) {
        const double ground = t.groundHeight(c.x, c.y);
        t.trees.push_back({c, radius, ground + height, ground + height * 0.45});
    };

    // Limes along the main streets, on the pavement's edge where no front wall stands.
    for (const town::Street& s : t.streets) {
        if (s.width < 10) continue;
        const std::vector<double> lengths = arcLengths(s.centre);
        for (double at = 10; at < lengths.back() - 10; at += 14) {
            Point d;
            const Point p = pointAt(s.centre, lengths, at, &d);
            if (std::hypot(p.x - t.centre.x, p.y - t.centre.y) > 750) continue;
            for (int side : {1, -1}) {
                const Point c{p.x - d.y * side * (s.width / 2 - 1.0), p.y + d.x * side * (s.width / 2 - 1.0)};
                const double r = random.range(2.6, 3.6);
                if (clearance(built, c, r + 1) > r + 0.5 && std::fabs(t.riverOffset(c.x, c.y)) > t.riverWidth)
                    plant(c, r, random.range(9, 13));
            }
        }
    }
    // Chestnuts in the square's green.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j)
            plant({t.centre.x - 18 + i * 12 + random.range(-1.5, 1.5),
                   t.centre.y + 32 + j * 20 + random.range(-1.5, 1.5)},
                  random.range(3.5, 4.8), random.range(11, 15));
    // Fruit trees in the gardens behind the houses.
    for (const town::Parcel& p : t.parcels) {
        if (p.use != town::LandUse::Yard) continue;
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (const Point& q : p.ring)
            minX = std::min(minX, q.x), maxX = std::max(maxX, q.x), minY = std::min(minY, q.y),
            maxY = std::max(maxY, q.y);
        const int wanted = 1 + random.pick(3);
        for (int planted = 0, tries = 0; planted < wanted && tries < 12; ++tries) {
            const Point c{random.range(minX, maxX), random.range(minY, maxY)};
            const double r = random.range(2.0, 3.4);
            if (!contains(p.ring, c) || distanceToRing(p.ring, c) < r * 0.6 || clearance(built, c, r + 1) < r + 0.8)
                continue;
            plant(c, r, random.range(5, 9));
            ++planted;
        }
    }
    // Willows and alders on both banks, where no parcel reaches.
    const std::vector<double> lengths = arcLengths(t.river);
    for (double at = 5; at < lengths.back(); at += random.range(9, 15)) {
        Point d;
        const Point p = pointAt(t.river, lengths, at, &d);
        for (int side : {1, -1}) {
            const double off = t.riverWidth / 2 + random.range(3, 7);
            const Point c{p.x - d.y * side * off, p.y + d.x * side * off};
            const double r = random.range(3.0, 5.0);
            if (clearance(plots, c, 1.0) > 0.5 && !onStreet(c, r)) plant(c, r, random.range(10, 17));
        }
    }
    // A wood on the valley's southern slope, west of the quarter across the river.
    for (double y = -760; y < -470; y += 7.5) {
        for (double x = -1150; x < -720; x += 7.5) {
            const Point c{t.centre.x + x + random.range(-2.5, 2.5), t.centre.y + y + random.range(-2.5, 2.5)};
            const double r = random.range(2.8, 4.2);
            // The wood's edge wanders; a few clearings inside.
            const double edge = std::min({x + 1150, -720 - x, y + 760, -470 - y}) / 60.0;
            if (edge + valueNoise(c.x, c.y, 45.0, 3) - 0.9 < 0) continue;
            if (clearance(plots, c, 1.0) > 0.5 && !onStreet(c, r)) plant(c, r, random.range(14, 22));
        }
    }
}

void layPipes(town::Town& t, TownRandom& random) {
    struct Kind {
        const char* layer;
        double offset;  // from the centre line as a share of the half width
        const char* material;
        int diameter;
        const char* mainMaterial;
        int mainDiameter;
    };
    static const Kind kinds[] = {
        {"przewod_wodociagowy", 0.35, "PE", 110, "żeliwo", 200},
        {"przewod_kanalizacyjny", 0.0, "PVC", 200, "kamionka", 400},
        {"przewod_gazowy", -0.35, "PE", 63, "stal", 150},
        {"przewod_elektroenergetyczny", 0.8, "Al", 0, "Cu", 0},
        {"przewod_telekomunikacyjny", -0.8, "światłowód", 0, "światłowód", 0},
    };
    for (std::size_t s = 0; s < t.streets.size(); ++s) {
        const town::Street& street = t.streets[s];
        const bool main = s == 0, outer = street.name == "ul. Polna" || street.name == "ul. Łąkowa";
        const std::vector<double> lengths = arcLengths(street.centre);
        for (const Kind& k : kinds) {
            if (outer && k.offset != 0.35 && k.offset != 0.8) continue;
            // A register holds a line as sections between fittings, manholes or joints.
            for (double s0 = 2.0; s0 < lengths.back() - 2.0;) {
                const double s1 = std::min(lengths.back() - 2.0, s0 + random.range(45, 110));
                t.pipes.push_back({k.layer, main ? k.mainMaterial : k.material, main ? k.mainDiameter : k.diameter,
                                   street.name,
                                   offsetPart(street.centre, lengths, s0, s1, k.offset * street.width / 2)});
                s0 = s1;
            }
        }
    }
}

namespace {

// A zone between two curves of the river's offset (local metres) over an easting range.
Ring band(const town::Town& t, double x0, double x1, double south, double north, bool southFixed, bool northFixed) {
    Ring ring;
    const auto riverY = [&](double x) {
        // The centre line's northing at an easting: the town samples it every 6 m.
        double best = 1e300, y = 0;
        for (const Point& p : t.river)
            if (std::fabs(p.x - (t.centre.x + x)) < best)
                best = std::fabs(p.x - (t.centre.x + x)), y = p.y - t.centre.y;
        return y;
    };
    const auto northAt = [&](double x) { return northFixed ? north : riverY(x) + north; };
    const auto southAt = [&](double x) { return southFixed ? south : riverY(x) + south; };
    for (double x = x0; x < x1 + 1e-6; x += std::min(50.0, x1 - x0)) ring.push_back(atTown(t, x, southAt(x)));
    for (double x = x1; x > x0 - 1e-6; x -= std::min(50.0, x1 - x0)) ring.push_back(atTown(t, x, northAt(x)));
    return oriented(ring);
}

Ring localRing(const town::Town& t, std::initializer_list<Point> points) {
    Ring ring;
    for (const Point& p : points) ring.push_back(atTown(t, p.x, p.y));
    return oriented(ring);
}

const char* zoneName(const std::string& symbol) {
    if (symbol == "SW") return "strefa wielofunkcyjna z zabudową mieszkaniową wielorodzinną";
    if (symbol == "SJ") return "strefa wielofunkcyjna z zabudową mieszkaniową jednorodzinną";
    if (symbol == "SU") return "strefa usługowa";
    if (symbol == "SZ") return "strefa zieleni i rekreacji";
    if (symbol == "SR") return "strefa otwarta";
    if (symbol == "MW/U") return "teren zabudowy mieszkaniowej wielorodzinnej i usługowej";
    if (symbol == "MN") return "teren zabudowy mieszkaniowej jednorodzinnej";
    if (symbol == "UO") return "teren usług oświaty";
    if (symbol == "ZP") return "teren zieleni urządzonej";
    if (symbol == "KDG") return "teren drogi publicznej klasy głównej";
    return "";
}

void addZone(std::vector<town::PlanZone>& zones, const std::string& symbol, Ring ring) {
    const std::string designation = platform::cformat("%d", static_cast<int>(zones.size()) + 1) + symbol;
    zones.push_back({designation, symbol, zoneName(symbol), std::move(ring)});
}

}  // namespace

void drawPlans(town::Town& t) {
    // The general plan: a green corridor along the river, the centre, the school, houses, open land beyond.
    auto& g = t.generalPlan;
    addZone(g, "SZ", band(t, -1150, 1150, -55, 55, false, false));
    addZone(g, "SW", band(t, -250, 270, 55, 180, false, true));
    addZone(g, "SU", localRing(t, {{40, 180}, {250, 180}, {250, 300}, {40, 300}}));
    addZone(g, "SJ", band(t, -1150, -250, 55, 680, false, true));
    addZone(
        g, "SJ",
        localRing(t, {{-250, 180}, {40, 180}, {40, 300}, {250, 300}, {250, 180}, {270, 180}, {270, 680}, {-250, 680}}));
    addZone(g, "SJ", band(t, 270, 1150, 55, 680, false, true));
    addZone(g, "SR", localRing(t, {{-1150, 680}, {1150, 680}, {1150, 1050}, {-1150, 1050}}));
    addZone(g, "SJ", band(t, -700, 700, -560, -55, true, false));
    addZone(g, "SR", band(t, -1150, -700, -1050, -55, true, false));
    addZone(g, "SR", band(t, 700, 1150, -1050, -55, true, false));
    addZone(g, "SR", localRing(t, {{-700, -1050}, {700, -1050}, {700, -560}, {-700, -560}}));

    // The local plan of the centre, drawn in this order (later zones over earlier ones).
    auto& l = t.localPlan;
    addZone(l, "MN", localRing(t, {{-300, 160}, {330, 160}, {330, 360}, {-300, 360}}));
    addZone(l, "MN", band(t, -300, 330, 55, -12, false, true));
    addZone(l, "MW/U", localRing(t, {{-220, 8}, {230, 8}, {230, 160}, {-220, 160}}));
    addZone(l, "UO", t.parcels.front().ring);
    {
        const town::Street& main = t.streets.front();
        const std::vector<double> lengths = arcLengths(main.centre);
        double s0 = 0, s1 = lengths.back();
        for (std::size_t i = 0; i < main.centre.size(); ++i) {
            if (main.centre[i].x - t.centre.x < -300) s0 = lengths[i];
            if (main.centre[i].x - t.centre.x < 330) s1 = lengths[i];
        }
        Ring road = offsetPart(main.centre, lengths, s0, s1, main.width / 2);
        Ring other = offsetPart(main.centre, lengths, s0, s1, -main.width / 2);
        road.insert(road.end(), other.rbegin(), other.rend());
        addZone(l, "KDG", oriented(road));
    }
    addZone(l, "ZP", t.park);
}

}  // namespace sim::detail
