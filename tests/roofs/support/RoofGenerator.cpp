#include "RoofGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace roofgen {

namespace {

// Uniform and normal numbers from the portable Mersenne twister (its raw output is fixed by the standard).
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    double uniform(double lo = 0.0, double hi = 1.0) {
        return lo + (hi - lo) * (static_cast<double>(engine_()) / 4294967296.0);
    }
    double normal(double sigma) {
        const double u1 = std::max(uniform(), 1e-12), u2 = uniform();
        return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937 engine_;
};

struct Local {
    double u, v;
};

Local toLocal(const Building& b, double x, double y) {
    const double dx = x - b.cx, dy = y - b.cy, c = std::cos(b.angle), s = std::sin(b.angle);
    return {dx * c + dy * s, -dx * s + dy * c};
}

geodesy::PlanarPoint toWorld(const Building& b, double u, double v) {
    const double c = std::cos(b.angle), s = std::sin(b.angle);
    return {b.cx + u * c - v * s, b.cy + u * s + v * c};
}

// Height above the eave of a roof kind over a body of half extents a (along the ridge) and b, rise r.
double bodyRoof(Roof roof, double u, double v, double a, double b, double r) {
    const double au = std::fabs(u), av = std::fabs(v), gable = r * (1.0 - av / b);
    switch (roof) {
        case Roof::Flat: return 0.0;
        case Roof::Shed: return r * (v + b) / (2 * b);
        case Roof::Gabled: return gable;
        case Roof::AsymGabled: {
            const double ridge = 0.4 * b;
            return v < ridge ? r * (v + b) / (ridge + b) : r * (b - v) / (b - ridge);
        }
        case Roof::Hipped: return std::min(r, r / b * std::min(b - av, a - au));
        case Roof::Pyramid: return r * std::min(1.0 - au / a, 1.0 - av / b);
        case Roof::HalfHipped: return std::min(gable, 0.55 * r + 1.6 * r / b * (a - au));
        case Roof::Mansard: {
            const double knee = 0.7 * b;
            return av > knee ? 0.7 * r * (b - av) / (b - knee) : 0.7 * r + 0.3 * r * (knee - av) / knee;
        }
        case Roof::GabledDormer:
            return u > -0.3 * a && u < 0.1 * a && v > 0.15 * b && v < 0.7 * b ? std::max(gable, 0.85 * r) : gable;
        case Roof::Barrel: return r * std::sqrt(std::max(0.0, 1.0 - (v / b) * (v / b)));
        case Roof::Dome: {
            const double q = std::hypot(u, v) / std::min(a, b);
            return r * std::sqrt(std::max(0.0, 1.0 - q * q));
        }
        case Roof::Cone: return r * std::max(0.0, 1.0 - std::hypot(u, v) / std::min(a, b));
    }
    return 0.0;
}

std::vector<geodesy::PlanarPoint> localOutline(const Building& b) {
    const double a = b.halfU, w = b.halfV, c = b.wingHalf, e = b.wingLength;
    switch (b.plan) {
        case Plan::Rectangle:
        case Plan::NearSquare: return {{-a, -w}, {a, -w}, {a, w}, {-a, w}};
        // Registers often keep a corner where a neighbour's wall meets: 2 cm off the straight wall.
        case Plan::FiveCorners: return {{-a, -w}, {0.1 * a, -w - 0.02}, {a, -w}, {a, w}, {-a, w}};
        case Plan::LShape: return {{-a, -w}, {a, -w}, {a, w + e}, {a - 2 * c, w + e}, {a - 2 * c, w}, {-a, w}};
        case Plan::TShape: return {{-a, -w}, {a, -w}, {a, w}, {c, w}, {c, w + e}, {-c, w + e}, {-c, w}, {-a, w}};
    }
    return {};
}

// Centre of the wing (along u) of an L or T plan.
double wingCentre(const Building& b) { return b.plan == Plan::LShape ? b.halfU - b.wingHalf : 0.0; }

}  // namespace

const char* roofName(Roof roof) {
    static const char* names[] = {"flat",    "shed",       "gabled",        "hipped", "half-hipped", "mansard",
                                  "pyramid", "asymmetric", "gabled-dormer", "barrel", "dome",        "cone"};
    return names[static_cast<int>(roof)];
}

const char* planName(Plan plan) {
    static const char* names[] = {"rectangle", "near-square", "five-corners", "L", "T"};
    return names[static_cast<int>(plan)];
}

std::string Building::label() const {
    return std::string(roofName(roof)) + "/" + planName(plan) + (tree ? "+tree" : "") + (chimney ? "+chimney" : "");
}

std::string Building::expectedType() const {
    if ((plan == Plan::LShape || plan == Plan::TShape) && roof != Roof::Flat && roof != Roof::Shed) return "";
    switch (roof) {
        case Roof::Flat: return "Flat";
        case Roof::Shed: return "Shed";
        case Roof::Gabled: return "Gabled";
        case Roof::Hipped: return "Hipped";
        case Roof::AsymGabled: return "AsymGabled";
        default: return "";
    }
}

bool insideRing(const std::vector<geodesy::PlanarPoint>& ring, double x, double y) {
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
        if ((ring[i].y > y) != (ring[j].y > y) &&
            x < ring[i].x + (y - ring[i].y) * (ring[j].x - ring[i].x) / (ring[j].y - ring[i].y))
            in = !in;
    return in;
}

bool Building::contains(double x, double y) const { return insideRing(footprint, x, y); }

double Building::roofZ(double x, double y) const {
    const Local p = toLocal(*this, x, y);
    const double rise = ridgeZ - eaveZ;
    if (plan != Plan::LShape && plan != Plan::TShape)
        return eaveZ +
               bodyRoof(roof, std::clamp(p.u, -halfU, halfU), std::clamp(p.v, -halfV, halfV), halfU, halfV, rise);
    // One plane over the whole outline for a shed; gabled wings meet the body's roof in valleys.
    if (roof == Roof::Shed) return eaveZ + rise * (p.v + halfV) / (2 * halfV + wingLength);
    double z = -1e9;
    if (p.v <= halfV + 1e-9) z = eaveZ + bodyRoof(roof, p.u, p.v, halfU, halfV, rise);
    const double du = p.u - wingCentre(*this);
    if (std::fabs(du) <= wingHalf + 1e-9 && p.v >= 0.0) {
        const double wingRise = rise * wingHalf / halfV;
        z = std::max(z, eaveZ + bodyRoof(roof, p.v, du, halfV + wingLength, wingHalf, wingRise));
    }
    return z;
}

std::vector<Building> generateBuildings(double e, double n, std::uint32_t seed) {
    Random random(seed);
    std::vector<Building> out;
    auto add = [&](Roof roof, Plan plan, bool tree, bool chimney) {
        Building b;
        b.roof = roof;
        b.plan = plan;
        b.tree = tree;
        b.chimney = chimney;
        const int k = static_cast<int>(out.size());
        b.cx = e + 50.0 * (k % 10);
        b.cy = n + 50.0 * (k / 10);
        b.angle = random.uniform(0, 2 * std::numbers::pi);
        b.halfU = random.uniform(5.5, 9.0);
        b.halfV = random.uniform(4.0, 5.5);
        const bool round = roof == Roof::Dome || roof == Roof::Cone;
        if (plan == Plan::NearSquare || round) {
            b.halfU = random.uniform(4.5, 5.5);
            // A cross gable: the ridge along the shorter side; hips need the ridge along the longer one.
            b.halfV = round || roof == Roof::Pyramid || roof == Roof::Flat ? b.halfU
                      : roof == Roof::Hipped                               ? b.halfU / 1.15
                                                                           : b.halfU * 1.12;
        }
        if (plan == Plan::LShape || plan == Plan::TShape) {
            b.wingHalf = b.halfV * random.uniform(0.75, 0.95);
            b.wingLength = random.uniform(4.0, 7.0);
            b.halfU = std::max(b.halfU, 2.2 * b.wingHalf);
        }
        static const double rises[][2] = {{0, 0},     {0.0, 0.0}, {3.0, 6.0}, {2.5, 4.5}, {3.5, 5.5}, {4.0, 6.0},
                                          {3.0, 5.0}, {3.0, 5.0}, {3.5, 5.5}, {2.0, 3.5}, {3.0, 5.0}, {3.0, 6.0}};
        const auto* rise = rises[static_cast<int>(roof)];
        b.groundZ = random.uniform(150.0, 210.0);
        b.eaveZ = b.groundZ + random.uniform(3.0, 7.0);
        b.ridgeZ = b.eaveZ + random.uniform(rise[0], rise[1]);
        // A shed leans 12 to 25 degrees over its whole depth: flatter ones are flat roofs to any reader.
        if (roof == Roof::Shed)
            b.ridgeZ = b.eaveZ +
                       std::tan(random.uniform(12.0, 25.0) * std::numbers::pi / 180.0) * (2 * b.halfV + b.wingLength);
        for (const geodesy::PlanarPoint& p : localOutline(b)) b.footprint.push_back(toWorld(b, p.x, p.y));
        out.push_back(std::move(b));
    };
    for (int r = 0; r <= static_cast<int>(Roof::Cone); ++r) {
        const Roof roof = static_cast<Roof>(r);
        add(roof, Plan::Rectangle, false, false);
        add(roof, Plan::Rectangle, false, true);
        add(roof, Plan::Rectangle, true, false);
        add(roof, Plan::NearSquare, false, false);
        add(roof, Plan::FiveCorners, true, true);
    }
    for (Roof roof : {Roof::Flat, Roof::Shed, Roof::Gabled})
        for (Plan plan : {Plan::LShape, Plan::TShape}) add(roof, plan, false, false);
    return out;
}

std::vector<SurveyPoint> survey(const std::vector<Building>& buildings, const SurveyOptions& o) {
    Random random(o.seed);
    std::vector<SurveyPoint> out;
    for (const Building& b : buildings) {
        double minX = b.footprint[0].x, maxX = minX, minY = b.footprint[0].y, maxY = minY, top = b.ridgeZ;
        for (const geodesy::PlanarPoint& p : b.footprint) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        minX -= o.margin, minY -= o.margin, maxX += o.margin, maxY += o.margin;
        // A crown over the corner at the end of the first wall, reaching 2 to 4 m above the ridge.
        const geodesy::PlanarPoint crown = toWorld(b, b.halfU + 1.0, -b.halfV - 1.0);
        const double crownRadius = random.uniform(3.5, 4.5), crownTop = top + random.uniform(2.0, 4.0);
        const double crownBase = b.eaveZ - 1.0;
        const geodesy::PlanarPoint stack = toWorld(b, 0.35 * b.halfU, -0.45 * b.halfV);
        const double stackTop = b.roofZ(stack.x, stack.y) + 1.3;
        const auto count = static_cast<long>((maxX - minX) * (maxY - minY) * o.density);
        for (long i = 0; i < count; ++i) {
            SurveyPoint p;
            p.x = random.uniform(minX, maxX);
            p.y = random.uniform(minY, maxY);
            const double leaf = random.uniform(), noise = random.normal(o.noise);
            if (random.uniform() < o.dropout) continue;
            const double d = std::hypot(p.x - crown.x, p.y - crown.y);
            if (b.tree && d < crownRadius && leaf < 0.8) {
                const double q = d / crownRadius;
                p.z = crownTop - (crownTop - crownBase) * q * q - random.uniform(0.0, 1.0);
                p.cls = 5;
            } else if (b.contains(p.x, p.y)) {
                const Local s = toLocal(b, p.x, p.y), c = toLocal(b, stack.x, stack.y);
                const bool onStack = b.chimney && std::fabs(s.u - c.u) < 0.4 && std::fabs(s.v - c.v) < 0.4;
                p.z = (onStack ? stackTop : b.roofZ(p.x, p.y)) + noise;
                p.cls = 6;
            } else {
                p.z = b.groundZ + noise;
                p.cls = 2;
            }
            out.push_back(p);
        }
        // Stray returns: birds and a wire above the roof (unclassified), low and high noise.
        for (int k = 0; k < 4; ++k) {
            const geodesy::PlanarPoint at =
                toWorld(b, random.uniform(-0.8, 0.8) * b.halfU, random.uniform(-0.8, 0.8) * b.halfV);
            out.push_back(
                {at.x, at.y, b.roofZ(at.x, at.y) + (k < 2 ? random.uniform(2.0, 5.0) : random.uniform(8, 30)), 1});
        }
        out.push_back({b.cx, b.cy, b.groundZ - random.uniform(2.0, 8.0), 7});
        out.push_back({b.cx + 1.0, b.cy, b.ridgeZ + random.uniform(50.0, 100.0), 18});
    }
    return out;
}

double truthRms(const Building& b, const std::vector<geodesy::SpatialPoint>& vertices,
                const std::vector<std::vector<std::int32_t>>& faces) {
    double low = 1e18;
    for (const geodesy::SpatialPoint& v : vertices) low = std::min(low, v.z);
    auto builtAt = [&](double x, double y) {
        double top = -1e18;
        for (const auto& face : faces) {
            for (std::size_t k = 1; k + 1 < face.size(); ++k) {
                const geodesy::SpatialPoint &p = vertices[face[0]], &q = vertices[face[k]], &r = vertices[face[k + 1]];
                const double det = (q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y);
                if (std::fabs(det) < 1e-12) continue;
                const double s = ((x - p.x) * (r.y - p.y) - (r.x - p.x) * (y - p.y)) / det;
                const double t = ((q.x - p.x) * (y - p.y) - (x - p.x) * (q.y - p.y)) / det;
                if (s >= -1e-9 && t >= -1e-9 && s + t <= 1 + 1e-9)
                    top = std::max(top, p.z + s * (q.z - p.z) + t * (r.z - p.z));
            }
        }
        return top > -1e17 ? top : low;
    };
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (const geodesy::PlanarPoint& p : b.footprint)
        minX = std::min(minX, p.x), minY = std::min(minY, p.y), maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    double sum = 0.0;
    int n = 0;
    for (double y = minY + 0.25; y < maxY; y += 0.5) {
        for (double x = minX + 0.25; x < maxX; x += 0.5) {
            if (!b.contains(x, y)) continue;
            const double d = builtAt(x, y) - b.roofZ(x, y);
            sum += d * d;
            ++n;
        }
    }
    return n > 0 && !vertices.empty() ? std::sqrt(sum / n) : 1e9;
}

}  // namespace roofgen
