// The town's buildings: tenements on the fronts around the square (some around a courtyard, some with a back
// wing), houses of several footprints with outbuildings in the gardens, a school, barns in the fields; their
// roofs as planar faces.
#include <algorithm>
#include <cmath>
#include <map>

#include "detail/TownLayout.h"
#include "platform/Numbers.h"

namespace sim::detail {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A parcel's frame: u along the front, v into the parcel.
struct Frame {
    Point origin, u, v;
    Point at(double a, double b) const { return {origin.x + a * u.x + b * v.x, origin.y + a * u.y + b * v.y}; }
    Ring ring(const std::vector<Point>& local) const {
        Ring out;
        for (const Point& p : local) out.push_back(at(p.x, p.y));
        return out;
    }
};

std::vector<Point> box(double u0, double v0, double u1, double v1) { return {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}}; }

// A footprint in the parcel's frame: outline, courtyard hole, the pieces that tile it.
struct LocalShape {
    town::Shape shape = town::Shape::Rectangle;
    std::vector<Point> outline, courtyard;
    std::vector<std::vector<Point>> pieces;
};

LocalShape rectangle(double u0, double v0, double u1, double v1) {
    return {town::Shape::Rectangle, box(u0, v0, u1, v1), {}, {}};
}

LocalShape lShape(double u0, double v0, double u1, double v1, double mainDepth, double wing, bool left) {
    const double vm = v0 + mainDepth;
    if (left)
        return {
            town::Shape::LShape, {{u0, v0}, {u1, v0}, {u1, vm}, {u0 + wing, vm}, {u0 + wing, v1}, {u0, v1}}, {}, {}};
    return {town::Shape::LShape, {{u0, v0}, {u1, v0}, {u1, v1}, {u1 - wing, v1}, {u1 - wing, vm}, {u0, vm}}, {}, {}};
}

LocalShape tShape(double u0, double v0, double u1, double v1, double barDepth, double stem) {
    const double vm = v0 + barDepth, uc = (u0 + u1) / 2, h = stem / 2;
    return {town::Shape::TShape,
            {{u0, v0}, {u1, v0}, {u1, vm}, {uc + h, vm}, {uc + h, v1}, {uc - h, v1}, {uc - h, vm}, {u0, vm}},
            {},
            {}};
}

LocalShape courtyardShape(double u0, double v0, double u1, double v1, double t) {
    const double a = u0 + t, b = u1 - t, c = v0 + t, d = v1 - t;
    LocalShape s{town::Shape::Courtyard, box(u0, v0, u1, v1), {{a, c}, {a, d}, {b, d}, {b, c}}, {}};
    // Front and back wings run the whole width; the corners of the yard are vertices of both neighbours.
    s.pieces = {{{u0, v0}, {u1, v0}, {u1, c}, {b, c}, {a, c}, {u0, c}},
                {{u0, d}, {a, d}, {b, d}, {u1, d}, {u1, v1}, {u0, v1}},
                {{u0, c}, {a, c}, {a, d}, {u0, d}},
                {{b, c}, {u1, c}, {u1, d}, {b, d}}};
    return s;
}

bool insideParcel(const Ring& parcel, const Ring& outline) {
    for (const Point& p : outline)
        if (!contains(parcel, p) || distanceToRing(parcel, p) < 0.3) return false;
    return true;
}

std::uint32_t roofColour(town::Roof roof, TownRandom& random) {
    static const std::uint32_t pitched[] = {0xA9503CFF, 0x9A4433FF, 0xB8644AFF, 0xA34B37FF,
                                            0x7B4A38FF, 0x4F5257FF, 0x595C61FF, 0x5E6E63FF};
    static const std::uint32_t flat[] = {0x8E8C88FF, 0xA7A59FFF, 0x6A6A6AFF, 0x7D7B76FF};
    if (roof == town::Roof::Flat) return flat[random.pick(4)];
    if (roof == town::Roof::Shed) return random.chance(0.6) ? 0x8D9196FF : 0x9A4433FF;
    return pitched[random.pick(8)];
}

// Roof faces of a rectangle (four corners counter-clockwise): the ridge along its longer sides.
std::vector<town::RoofFace> rectangleRoof(Ring c, town::Roof roof, double eave, double ridge) {
    if (std::hypot(c[1].x - c[0].x, c[1].y - c[0].y) < std::hypot(c[2].x - c[1].x, c[2].y - c[1].y))
        std::rotate(c.begin(), c.begin() + 1, c.end());
    const auto at = [](Point p, double z) { return geodesy::SpatialPoint{p.x, p.y, z}; };
    const Point m0{(c[0].x + c[3].x) / 2, (c[0].y + c[3].y) / 2}, m1{(c[1].x + c[2].x) / 2, (c[1].y + c[2].y) / 2};
    switch (roof) {
        case town::Roof::Gabled:
            return {{{at(c[0], eave), at(c[1], eave), at(m1, ridge), at(m0, ridge)}},
                    {{at(c[2], eave), at(c[3], eave), at(m0, ridge), at(m1, ridge)}}};
        case town::Roof::Hipped: {
            const double len = std::hypot(c[1].x - c[0].x, c[1].y - c[0].y);
            const double half = std::hypot(c[3].x - c[0].x, c[3].y - c[0].y) / 2;
            const double h = std::min(half, len / 2 - 0.5);
            const Point d{(c[1].x - c[0].x) / len, (c[1].y - c[0].y) / len};
            const Point r0{m0.x + d.x * h, m0.y + d.y * h}, r1{m1.x - d.x * h, m1.y - d.y * h};
            return {{{at(c[0], eave), at(c[1], eave), at(r1, ridge), at(r0, ridge)}},
                    {{at(c[2], eave), at(c[3], eave), at(r0, ridge), at(r1, ridge)}},
                    {{at(c[3], eave), at(c[0], eave), at(r0, ridge)}},
                    {{at(c[1], eave), at(c[2], eave), at(r1, ridge)}}};
        }
        case town::Roof::Shed: return {{{at(c[0], eave), at(c[1], eave), at(c[2], ridge), at(c[3], ridge)}}};
        case town::Roof::Flat: break;
    }
    return {{{at(c[0], eave), at(c[1], eave), at(c[2], eave), at(c[3], eave)}}};
}

class Builder {
public:
    Builder(town::Town& t, TownRandom& random) : t_(t), random_(random) {}

    // Places a building of the shape when it fits the parcel and misses the parcel's other buildings.
    bool place(const ParcelDraft& d, const Frame& f, const LocalShape& s, town::Roof roof, int storeys,
               const std::string& kind, std::vector<Ring>& taken) {
        Ring outline = oriented(f.ring(s.outline));
        if (!insideParcel(d.parcel.ring, outline)) return false;
        for (const Ring& other : taken)
            if (overlaps(other, outline)) return false;
        town::Building b;
        b.shape = s.shape;
        b.roof = s.shape == town::Shape::Rectangle ? roof : town::Roof::Flat;
        b.outline = outline;
        if (!s.courtyard.empty()) b.courtyard = oriented(f.ring(s.courtyard), true);
        if (s.pieces.empty()) b.pieces = {outline};
        else
            for (const auto& piece : s.pieces) b.pieces.push_back(oriented(f.ring(piece)));
        double ground = 1e300;
        for (const Point& p : outline) ground = std::min(ground, t_.groundHeight(p.x, p.y));
        b.groundZ = std::round(ground * 100.0) / 100.0;
        b.storeys = storeys;
        b.basements = kind == "m" && random_.chance(0.4) ? 1 : 0;
        b.eaveZ = b.groundZ + storeys * 3.0 + (b.basements ? 0.9 : 0.4);
        const double a = std::hypot(outline[1].x - outline[0].x, outline[1].y - outline[0].y);
        const double c = std::hypot(outline[2].x - outline[1].x, outline[2].y - outline[1].y);
        const double shortSide = std::min(a, c);
        double rise = 0.0;
        if (b.roof == town::Roof::Gabled || b.roof == town::Roof::Hipped)
            rise = shortSide / 2 * std::tan(random_.range(35, 45) * kPi / 180.0);
        else if (b.roof == town::Roof::Shed) rise = shortSide * std::tan(10 * kPi / 180.0);
        b.ridgeZ = b.eaveZ + rise;
        b.roofColour = roofColour(b.roof, random_);
        if (s.shape == town::Shape::Rectangle) {
            b.roofFaces = rectangleRoof(outline, b.roof, b.eaveZ, b.ridgeZ);
        } else {
            for (const Ring& piece : b.pieces) {
                town::RoofFace face;
                for (const Point& p : piece) face.ring.push_back({p.x, p.y, b.eaveZ});
                b.roofFaces.push_back(face);
            }
        }
        b.kind = kind;
        b.parcelId = d.parcel.id;
        b.id = d.parcel.id + "." + platform::cformat("%d", static_cast<int>(taken.size()) + 1) + "_BUD";
        if (kind != "g") b.address = d.parcel.street + " " + houseNumber(d);
        taken.push_back(outline);
        t_.buildings.push_back(std::move(b));
        return true;
    }

private:
    std::string houseNumber(const ParcelDraft& d) {
        int& n = numbers_[{d.parcel.street, d.side}];
        n = n == 0 ? (d.side > 0 ? 1 : 2) : n + 2;
        return platform::cformat("%d", n);
    }

    town::Town& t_;
    TownRandom& random_;
    std::map<std::pair<std::string, int>, int> numbers_;
};

town::Roof pitchedOrFlat(TownRandom& random, double gabled, double hipped) {
    const double r = random.uniform();
    return r < gabled ? town::Roof::Gabled : r < gabled + hipped ? town::Roof::Hipped : town::Roof::Flat;
}

}  // namespace

void raiseBuildings(town::Town& t, const std::vector<ParcelDraft>& drafts, TownRandom& random) {
    Builder builder(t, random);
    for (const ParcelDraft& d : drafts) {
        const double w = std::hypot(d.frontEnd.x - d.frontStart.x, d.frontEnd.y - d.frontStart.y);
        const Point u{(d.frontEnd.x - d.frontStart.x) / w, (d.frontEnd.y - d.frontStart.y) / w};
        const Frame f{d.frontStart, u, d.inward};
        const double depth = d.depth;
        std::vector<Ring> taken;
        if (d.street == -2) {  // the school
            const double u0 = (w - 64) / 2;
            builder.place(d, f, tShape(u0, 10, u0 + 64, 10 + 13 + 30, 13, 16), town::Roof::Flat, 3, "k", taken);
            continue;
        }
        switch (d.parcel.use) {
            case town::LandUse::Centre: {
                const int storeys = 2 + random.pick(2);
                const std::string kind = random.chance(0.35) ? "h" : "m";
                const double u0 = 0.4, u1 = w - 0.4, v0 = 0.8;
                bool placed = false;
                if (w >= 21 && depth >= 30 && random.chance(0.8)) {
                    const double v1 = v0 + std::min(depth - 3, random.range(22, 28));
                    for (int attempt = 0; !placed && attempt < 4 && (u1 - u0) - 2 * attempt - 14 >= 6; ++attempt)
                        placed =
                            builder.place(d, f, courtyardShape(u0 + attempt, v0 + attempt * 0.5, u1 - attempt, v1, 7.0),
                                          town::Roof::Flat, 3, kind, taken);
                }
                for (int attempt = 0; !placed && attempt < 4; ++attempt) {
                    const double a = u0 + attempt * 0.5, b = u1 - attempt * 0.5, v = v0 + attempt * 0.6;
                    const double bd = random.range(11, 14);
                    if (random.chance(0.35) && depth > v + bd + 12) {
                        placed = builder.place(
                            d, f, lShape(a, v, b, v + bd + random.range(8, 14), bd, 6.5, random.chance(0.5)),
                            town::Roof::Flat, storeys, kind, taken);
                    } else {
                        placed = builder.place(d, f, rectangle(a, v, b, v + bd), pitchedOrFlat(random, 0.6, 0.2),
                                               storeys, kind, taken);
                    }
                }
                break;
            }
            case town::LandUse::Yard: {
                double v0 = random.range(4, 8), bw = std::min(w - 6, random.range(9, 14)), bd = random.range(8, 12);
                if (bw < 7 || depth < v0 + bd + 3) break;
                double u0 = 3 + random.uniform() * (w - 6 - bw);
                const double r = random.uniform();
                const int storeys = 1 + random.pick(2);
                bool placed = false;
                for (int attempt = 0; !placed && attempt < 4; ++attempt) {
                    LocalShape s = rectangle(u0, v0, u0 + bw, v0 + bd);
                    if (w >= 20 && depth >= 38 && r < 0.25)
                        s = lShape(u0, v0, u0 + bw, v0 + bd + random.range(5, 9), bd, random.range(5, 7), r < 0.12);
                    else if (w >= 20 && depth >= 38 && r < 0.37)
                        s = tShape(u0, v0, u0 + bw, v0 + bd + random.range(5, 8), bd, random.range(4.5, 6));
                    placed = builder.place(d, f, s, pitchedOrFlat(random, 0.55, 0.35), storeys, "m", taken);
                    u0 += 0.5, bw -= 1.0, v0 += 0.5;
                }
                if (placed && random.chance(0.55)) {
                    const double ow = random.range(4, 7), od = random.range(5, 8), ov = v0 + bd + random.range(6, 10);
                    if (ov + od < depth - 2) {
                        const double ou = random.chance(0.5) ? 1.2 : w - 1.2 - ow;
                        const double rr = random.uniform();
                        const town::Roof roof = rr < 0.5   ? town::Roof::Shed
                                                : rr < 0.8 ? town::Roof::Flat
                                                           : town::Roof::Gabled;
                        builder.place(d, f, rectangle(ou, ov, ou + ow, ov + od), roof, 1, "g", taken);
                    }
                }
                break;
            }
            case town::LandUse::Field:
                if (depth >= 60 && w >= 16 && random.chance(0.08)) {
                    const double bw = std::min(w - 4, random.range(10, 12)), bd = random.range(18, 24);
                    builder.place(d, f, rectangle((w - bw) / 2, 12, (w + bw) / 2, 12 + bd), town::Roof::Gabled, 1, "g",
                                  taken);
                }
                break;
            case town::LandUse::Meadow: break;
        }
    }
}

}  // namespace sim::detail
