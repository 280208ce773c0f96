#include "RoofShapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace roofs {

namespace {

// A small deterministic generator (the same stream on every platform).
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    double uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return (state_ >> 8) * (1.0 / 16777216.0);
    }
    double normal() {
        const double u = std::max(uniform(), 1e-12), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
    }

private:
    std::uint32_t state_;
};

}  // namespace

const char* shapeName(Shape shape) {
    switch (shape) {
        case Shape::Flat: return "Flat";
        case Shape::Shed: return "Shed";
        case Shape::Gabled: return "Gabled";
        case Shape::Hipped: return "Hipped";
        case Shape::AsymGabled: return "AsymGabled";
    }
    return "";
}

std::vector<geodesy::PlanarPoint> KnownBuilding::footprint() const {
    const double c = std::cos(angle), s = std::sin(angle), hl = length / 2, hw = width / 2;
    const double local[4][2] = {{-hl, -hw}, {hl, -hw}, {hl, hw}, {-hl, hw}};
    std::vector<geodesy::PlanarPoint> ring;
    for (int i = 0; i < 4; ++i) {
        const double* p = local[(i + firstCorner) % 4];
        ring.push_back({e + p[0] * c - p[1] * s, n + p[0] * s + p[1] * c});
    }
    return ring;
}

bool KnownBuilding::contains(double x, double y) const {
    const double c = std::cos(angle), s = std::sin(angle);
    const double u = (x - e) * c + (y - n) * s, v = -(x - e) * s + (y - n) * c;
    return std::fabs(u) < length / 2 && std::fabs(v) < width / 2;
}

double KnownBuilding::roofHeight(double x, double y) const {
    const double c = std::cos(angle), s = std::sin(angle);
    const double u = (x - e) * c + (y - n) * s;
    double v = -(x - e) * s + (y - n) * c;
    if (mirrored) v = -v;
    const double hw = width / 2, rise = ridgeZ - eaveZ;
    switch (shape) {
        case Shape::Flat: return eaveZ;
        case Shape::Shed: return eaveZ + rise * (v + hw) / width;
        case Shape::Gabled: return eaveZ + rise * (1.0 - std::fabs(v) / hw);
        case Shape::Hipped: return eaveZ + rise * std::min(1.0 - std::fabs(v) / hw, (length / 2 - std::fabs(u)) / hw);
        case Shape::AsymGabled: {
            const double ridge = -hw + 0.68 * width;
            return v < ridge ? eaveZ + rise * (v + hw) / (0.68 * width) : eaveZ + rise * (hw - v) / (0.32 * width);
        }
    }
    return eaveZ;
}

std::vector<SurveyPoint> surveyPoints(const std::vector<KnownBuilding>& buildings, const SurveySettings& settings) {
    std::vector<SurveyPoint> points;
    Random random(settings.seed);
    const double step = 1.0 / std::sqrt(settings.density);
    for (const KnownBuilding& b : buildings) {
        const double reach = std::hypot(b.length, b.width) / 2 + settings.margin;
        // A gap without returns on part of the roof, as real sheets have.
        const double gapU = (random.uniform() - 0.5) * b.length * 0.5, gapR = 0.8 + random.uniform();
        const double c = std::cos(b.angle), s = std::sin(b.angle);
        for (double y = b.n - reach; y <= b.n + reach; y += step) {
            for (double x = b.e - reach; x <= b.e + reach; x += step) {
                const double px = x + (random.uniform() - 0.5) * step, py = y + (random.uniform() - 0.5) * step;
                if (random.uniform() < settings.dropout) continue;
                const double noise = random.normal() * settings.noise;
                if (b.contains(px, py)) {
                    const double u = (px - b.e) * c + (py - b.n) * s, v = -(px - b.e) * s + (py - b.n) * c;
                    if (std::hypot(u - gapU, v) < gapR) continue;
                    points.push_back({px, py, b.roofHeight(px, py) + noise, 6});
                } else {
                    points.push_back({px, py, b.groundZ + noise, 2});
                }
            }
        }
    }
    return points;
}

std::vector<KnownBuilding> knownBuildings(int count, double e, double n, double groundZ) {
    const Shape shapes[5] = {Shape::Gabled, Shape::Hipped, Shape::Flat, Shape::Shed, Shape::AsymGabled};
    std::vector<KnownBuilding> list;
    for (int i = 0; i < count; ++i) {
        KnownBuilding b;
        b.shape = shapes[i % 5];
        b.e = e + (i % 20) * 40.0;
        b.n = n + (i / 20) * 40.0;
        b.length = 12.0 + (i * 7 % 9);
        b.width = 8.0 + (i * 5 % 4);
        b.angle = (i * 37 % 180) * std::numbers::pi / 180.0;
        b.groundZ = groundZ;
        b.eaveZ = groundZ + 5.0 + (i % 3);
        b.ridgeZ = b.eaveZ + (b.shape == Shape::Flat ? 0.0 : 3.0 + (i % 4) * 0.5);
        b.mirrored = (i / 5) % 2 == 1;
        b.firstCorner = i % 4;
        list.push_back(b);
    }
    return list;
}

}  // namespace roofs

}  // namespace sim
