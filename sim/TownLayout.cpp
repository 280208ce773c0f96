// The town's streets and parcels: streets as curves through fixed control points around the market square,
// parcels cut along their fronts at random widths and skews, as deep as the neighbours leave room for.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "detail/TownLayout.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"

namespace sim {

namespace detail {

namespace {

struct StreetPlan {
    const char* name;
    double width;
    std::vector<Point> control;  // local metres
};

// The river's centre line (local metres): meanders south of the square, the valley's floor.
double riverLocalY(double x) { return -190.0 + 35.0 * std::sin(x / 230.0 + 0.7) + 15.0 * std::sin(x / 90.0 + 1.3); }

std::vector<StreetPlan> streetPlans() {
    std::vector<Point> riverside;
    for (double x = -760; x <= 760; x += 95) riverside.push_back({x, riverLocalY(x) - 95.0});
    return {
        {"ul. Lubelska",
         14.0,
         {{-1150, -95},
          {-800, -60},
          {-480, -35},
          {-200, -12},
          {-45, -6},
          {45, -6},
          {240, -14},
          {520, -40},
          {820, -70},
          {1150, -105}}},
        {"ul. Tadeusza Kościuszki", 10.0, {{0, 80}, {12, 180}, {-15, 300}, {20, 430}, {5, 560}, {30, 720}}},
        {"ul. Mostowa", 10.0, {{0, -6}, {8, -90}, {20, -190}, {15, -300}, {50, -430}, {110, -620}}},
        {"ul. Józefa Poniatowskiego", 10.0, {{-300, -18}, {-320, 120}, {-285, 280}, {-320, 450}, {-300, 640}}},
        {"ul. Sadowa", 10.0, {{300, -20}, {330, 130}, {390, 300}, {440, 470}, {470, 650}}},
        {"ul. Ogrodowa",
         9.0,
         {{-760, 300}, {-520, 285}, {-300, 300}, {-10, 315}, {200, 300}, {385, 295}, {600, 260}, {800, 240}}},
        {"ul. Szkolna", 8.0, {{12, 172}, {140, 168}, {250, 150}, {330, 132}}},
        {"ul. Polna", 8.0, {{-700, 600}, {-460, 590}, {-300, 610}, {10, 640}, {240, 620}, {460, 640}, {700, 600}}},
        {"ul. Nadrzeczna", 8.0, riverside},
        {"ul. Łąkowa", 8.0, {{-500, -470}, {-200, -450}, {50, -440}, {300, -460}, {560, -440}}},
        {"ul. Zielona", 8.0, {{-620, -45}, {-660, 110}, {-600, 230}, {-520, 287}}},
        {"ul. Klonowa", 8.0, {{620, -48}, {660, 100}, {620, 262}}},
    };
}

// The market square (local metres): paved, a green in the middle; the main street runs along its south side.
constexpr double kSquareW = -45, kSquareE = 45, kSquareS = 0, kSquareN = 80;

struct Frontage {
    std::vector<Point> line;
    std::vector<double> lengths;
    int street = -1;
    int side = 1;
    double offset = 0.0;  // from the line to the parcels' fronts
    bool fieldsOnly = false;
};

enum class Pass { Town, Fields };

// Parcels already laid, bucketed by 50 m cells for the overlap tests.
class ParcelGrid {
public:
    void add(int index, const Ring& ring) {
        forCells(ring, [&](long long key) { cells_[key].push_back(index); });
    }
    template <class Fn>
    bool any(const Ring& ring, Fn test) const {
        bool hit = false;
        forCells(ring, [&](long long key) {
            const auto found = cells_.find(key);
            if (found == cells_.end() || hit) return;
            for (int i : found->second)
                if (test(i)) {
                    hit = true;
                    return;
                }
        });
        return hit;
    }

private:
    template <class Fn>
    static void forCells(const Ring& ring, Fn fn) {
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (const Point& p : ring)
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y),
            maxY = std::max(maxY, p.y);
        for (long long cx = static_cast<long long>(std::floor(minX / 50)); cx <= std::floor(maxX / 50); ++cx)
            for (long long cy = static_cast<long long>(std::floor(minY / 50)); cy <= std::floor(maxY / 50); ++cy)
                fn(cx * 1000003LL + cy);
    }
    std::map<long long, std::vector<int>> cells_;
};

town::LandUse zoneOf(const town::Town& t, Point front, bool fieldsOnly) {
    const double x = front.x - t.centre.x, y = front.y - t.centre.y;
    if (fieldsOnly) return town::LandUse::Field;
    const double fromSquare = std::hypot(x, y - 40.0);
    if (fromSquare < 220.0) return town::LandUse::Centre;
    if (std::fabs(x) < 640.0 && y > -520.0 && y < 650.0) return town::LandUse::Yard;
    return town::LandUse::Field;
}

}  // namespace

void layStreets(town::Town& t) {
    for (const StreetPlan& plan : streetPlans()) {
        town::Street street{plan.name, {}, plan.width};
        std::vector<Point> control;
        for (const Point& p : plan.control) control.push_back(atTown(t, p.x, p.y));
        street.centre = smoothCurve(control, 4.0);
        t.streets.push_back(std::move(street));
    }
    for (double x = -1200; x <= 1200; x += 6) t.river.push_back(atTown(t, x, riverLocalY(x)));
    t.square = {atTown(t, kSquareW, kSquareS), atTown(t, kSquareE, kSquareS), atTown(t, kSquareE, kSquareN),
                atTown(t, kSquareW, kSquareN)};
    t.park = {atTown(t, -26, 22), atTown(t, 26, 22), atTown(t, 26, 62), atTown(t, -26, 62)};
}

std::vector<ParcelDraft> layParcels(town::Town& t, TownRandom& random) {
    std::vector<Frontage> frontages;
    for (std::size_t s = 0; s < t.streets.size(); ++s) {
        const town::Street& street = t.streets[s];
        for (int side : {1, -1}) {
            Frontage f{street.centre, arcLengths(street.centre), static_cast<int>(s), side, street.width / 2 + 0.3};
            // Beyond the last streets the land is fields.
            f.fieldsOnly = (street.name == "ul. Polna" && side == 1) || (street.name == "ul. Łąkowa" && side == -1);
            frontages.push_back(std::move(f));
        }
    }
    // The square's west, north and east sides face outward.
    const std::array<std::array<Point, 2>, 3> squareSides = {
        {{atTown(t, kSquareW, kSquareS), atTown(t, kSquareW, kSquareN)},
         {atTown(t, kSquareW, kSquareN), atTown(t, kSquareE, kSquareN)},
         {atTown(t, kSquareE, kSquareN), atTown(t, kSquareE, kSquareS)}}};
    for (const auto& sideLine : squareSides) {
        Frontage f{{sideLine[0], sideLine[1]}, {}, -1, 1, 0.3};
        f.lengths = arcLengths(f.line);
        frontages.insert(frontages.begin(), std::move(f));
    }

    // A school's grounds north of ul. Szkolna, laid before the parcels around them.
    std::vector<ParcelDraft> drafts;
    ParcelGrid grid;
    {
        ParcelDraft school;
        school.parcel.ring =
            oriented({atTown(t, 70, 186), atTown(t, 215, 170), atTown(t, 228, 270), atTown(t, 82, 288)});
        school.parcel.use = town::LandUse::Yard;
        school.parcel.street = "ul. Szkolna";
        school.frontStart = school.parcel.ring[0];
        school.frontEnd = school.parcel.ring[1];
        const double len = std::hypot(school.frontEnd.x - school.frontStart.x, school.frontEnd.y - school.frontStart.y);
        const Point u{(school.frontEnd.x - school.frontStart.x) / len, (school.frontEnd.y - school.frontStart.y) / len};
        school.inward = {-u.y, u.x};
        school.depth = 95.0;
        school.street = -2;  // marks the school
        grid.add(0, school.parcel.ring);
        drafts.push_back(std::move(school));
    }

    std::vector<geodesy::Bbox> streetBoxes;
    for (const town::Street& street : t.streets) {
        geodesy::Bbox b{1e300, 1e300, -1e300, -1e300};
        for (const Point& p : street.centre)
            b = {std::min(b.minE, p.x), std::min(b.minN, p.y), std::max(b.maxE, p.x), std::max(b.maxN, p.y)};
        streetBoxes.push_back(
            {b.minE - street.width, b.minN - street.width, b.maxE + street.width, b.maxN + street.width});
    }
    const auto fits = [&](const Ring& ring, int ownStreet) {
        geodesy::Bbox box{1e300, 1e300, -1e300, -1e300};
        for (const Point& p : ring) {
            if (std::fabs(p.x - t.centre.x) > 1150 || std::fabs(p.y - t.centre.y) > 1000) return false;
            box = {std::min(box.minE, p.x), std::min(box.minN, p.y), std::max(box.maxE, p.x), std::max(box.maxN, p.y)};
        }
        for (std::size_t s = 0; s < t.streets.size(); ++s) {
            const geodesy::Bbox& b = streetBoxes[s];
            if (b.minE > box.maxE || b.maxE < box.minE || b.minN > box.maxN || b.maxN < box.minN) continue;
            if (nearPolyline(ring, t.streets[s].centre,
                             t.streets[s].width / 2 + (static_cast<int>(s) == ownStreet ? 0.2 : 0.5)))
                return false;
        }
        if (nearPolyline(ring, t.river, t.riverWidth / 2 + 8.0) || overlaps(ring, t.square)) return false;
        return !grid.any(ring, [&](int i) { return overlaps(ring, drafts[static_cast<std::size_t>(i)].parcel.ring); });
    };

    for (Pass pass : {Pass::Town, Pass::Fields}) {
        for (const Frontage& f : frontages) {
            const double length = f.lengths.back();
            double s = f.street < 0 ? 0.0 : 6.0;
            double skewA = 0.0;
            while (s < length - 6.0) {
                Point dirA;
                const Point lineA = pointAt(f.line, f.lengths, s, &dirA);
                const town::LandUse use = zoneOf(
                    t, {lineA.x - f.side * dirA.y * f.offset, lineA.y + f.side * dirA.x * f.offset}, f.fieldsOnly);
                double width = 0, depth = 0, minDepth = 18, skewMax = 9;
                switch (use) {
                    case town::LandUse::Centre:
                        width = random.chance(0.3) ? random.range(22, 30) : random.range(11, 18);
                        depth = random.range(30, 50), skewMax = 4;
                        break;
                    case town::LandUse::Yard: width = random.range(16, 30), depth = random.range(60, 150); break;
                    default:
                        width = random.range(24, 45), depth = random.range(100, 230), minDepth = 40, skewMax = 4;
                        break;
                }
                const double skewB = random.range(-skewMax, skewMax) * 3.14159265358979 / 180.0;
                const double s1 = std::min(s + width, length - (f.street < 0 ? 0.0 : 6.0));
                const bool wanted = (pass == Pass::Fields) == (use == town::LandUse::Field) && s1 - s > 8.0;
                if (wanted) {
                    Point dirB;
                    pointAt(f.line, f.lengths, s1, &dirB);
                    std::vector<Point> front = offsetPart(f.line, f.lengths, s, s1, f.side * f.offset);
                    const auto inwardAt = [&](Point d, double skew) {
                        const Point n{-d.y * f.side, d.x * f.side};
                        return Point{n.x * std::cos(skew) - n.y * std::sin(skew),
                                     n.x * std::sin(skew) + n.y * std::cos(skew)};
                    };
                    const Point inA = inwardAt(dirA, skewA), inB = inwardAt(dirB, skewB);
                    const double depthB = depth * random.range(0.85, 1.15);
                    for (double scale = 1.0; depth * scale >= minDepth; scale -= 0.1) {
                        Ring ring = front;
                        ring.push_back(
                            {front.back().x + inB.x * depthB * scale, front.back().y + inB.y * depthB * scale});
                        ring.push_back(
                            {front.front().x + inA.x * depth * scale, front.front().y + inA.y * depth * scale});
                        if (!fits(ring, f.street)) continue;
                        ParcelDraft d;
                        d.parcel.ring = oriented(ring);
                        d.parcel.use = use;
                        d.parcel.street = f.street >= 0 ? t.streets[static_cast<std::size_t>(f.street)].name : "Rynek";
                        d.frontStart = front.front();
                        d.frontEnd = front.back();
                        const double len = std::hypot(d.frontEnd.x - d.frontStart.x, d.frontEnd.y - d.frontStart.y);
                        const Point u{(d.frontEnd.x - d.frontStart.x) / len, (d.frontEnd.y - d.frontStart.y) / len};
                        d.inward = {-u.y * f.side, u.x * f.side};
                        d.depth = std::min(depth, depthB) * scale * std::cos(skewMax * 3.14159265358979 / 180.0);
                        d.street = f.street;
                        d.side = f.side;
                        d.along = s;
                        grid.add(static_cast<int>(drafts.size()), d.parcel.ring);
                        drafts.push_back(std::move(d));
                        break;
                    }
                }
                s = s1;
                skewA = skewB;
            }
        }
    }
    return drafts;
}

namespace {

// The check digit of a land and mortgage register number (court code and number, weights 1, 3, 7).
char registerCheckDigit(const std::string& code) {
    static const std::string letters = "XABCDEFGHIJKLMNOPRSTUWYZ";
    int sum = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        const int value = c >= '0' && c <= '9' ? c - '0' : 10 + static_cast<int>(letters.find(c));
        sum += value * std::array<int, 3>{1, 3, 7}[i % 3];
    }
    return static_cast<char>('0' + sum % 10);
}

}  // namespace

void numberParcels(town::Town& t, std::vector<ParcelDraft>& drafts, TownRandom& random) {
    // Two precincts: the town north of the river and the quarter across it; numbers run in laying order.
    std::map<std::string, int> next;
    const std::string teryt6 = std::string(t.teryt7).substr(0, 6);
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        town::Parcel& p = drafts[i].parcel;
        double cx = 0, cy = 0;
        for (const Point& q : p.ring)
            cx += q.x / static_cast<double>(p.ring.size()), cy += q.y / static_cast<double>(p.ring.size());
        const bool south = t.riverOffset(cx, cy) < 0;
        p.precinct = south ? "0002" : "0001";
        p.precinctName = south ? "Zabystrze" : std::string(t.name);
        int& counter = next[p.precinct];
        counter += 1 + random.pick(3);  // gaps where parcels were merged or became roads
        // Some parcels are parts of a divided one: the same base number with the part after the slash.
        if (random.chance(0.3) && i + 1 < drafts.size()) {
            p.number = platform::cformat("%d/%d", counter, 1);
            town::Parcel& q = drafts[i + 1].parcel;
            q.number = platform::cformat("%d/%d", counter, 2);
            ++i;
            q.area = area(q.ring);
        } else {
            p.number = platform::cformat("%d", counter);
        }
        p.area = area(p.ring);
    }
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        town::Parcel& p = drafts[i].parcel;
        if (p.precinct.empty()) {  // the second part of a divided parcel takes its precinct from the first
            p.precinct = drafts[i - 1].parcel.precinct;
            p.precinctName = drafts[i - 1].parcel.precinctName;
        }
        p.id = teryt6 + "_4." + p.precinct + "." + p.number;
        const std::string number = platform::cformat("%08d", 10000 + static_cast<int>(i) * 37);
        p.landRegister = "LU1P/" + number + "/" + registerCheckDigit("LU1P" + number);
        switch (p.use) {
            case town::LandUse::Centre: p.landClass = "B"; break;
            case town::LandUse::Yard: p.landClass = random.chance(0.8) ? "B" : "B, RIVa"; break;
            default: {
                const double fromRiver = std::fabs(t.riverOffset(p.ring[0].x, p.ring[0].y));
                static const char* const fields[] = {"RIIIa", "RIIIb", "RIVa", "RIVb"};
                p.landClass = fromRiver < 200 ? "ŁIII" : fields[random.pick(4)];
                if (fromRiver < 200) p.use = town::LandUse::Meadow;
            }
        }
    }
    for (ParcelDraft& d : drafts) t.parcels.push_back(d.parcel);
}

}  // namespace detail

namespace town {

Town generateTown(std::uint32_t seed) {
    Town t;
    t.name = "Nałęczów";
    t.teryt7 = kTeryt7;
    const geodesy::PlanarPoint c = geodesy::wgs84ToPl1992(51.2867, 22.2166);
    t.centre = {std::round(c.x), std::round(c.y)};
    t.extent = {t.centre.x - 1200, t.centre.y - 1050, t.centre.x + 1200, t.centre.y + 1050};
    detail::TownRandom random(seed);
    detail::layStreets(t);
    std::vector<detail::ParcelDraft> drafts = detail::layParcels(t, random);
    detail::numberParcels(t, drafts, random);
    detail::raiseBuildings(t, drafts, random);
    detail::plantTrees(t, random);
    detail::layPipes(t, random);
    detail::drawPlans(t);
    t.index();
    return t;
}

}  // namespace town

}  // namespace sim
