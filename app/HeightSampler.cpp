#include "HeightSampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

void HeightSampler::add(const exporter::MeshSurface& surface) {
    for (std::size_t i = 0; i + 2 < surface.triangles.size(); i += 3) {
        triangles_.push_back({surface.points[surface.triangles[i]], surface.points[surface.triangles[i + 1]],
                              surface.points[surface.triangles[i + 2]]});
    }
}

void HeightSampler::build() {
    if (triangles_.empty()) return;
    double minX = std::numeric_limits<double>::max(), minY = minX;
    double maxX = std::numeric_limits<double>::lowest(), maxY = maxX;
    double edges = 0;
    for (const Triangle& t : triangles_) {
        for (const auto* p : {&t.a, &t.b, &t.c}) {
            minX = std::min(minX, p->x), minY = std::min(minY, p->y);
            maxX = std::max(maxX, p->x), maxY = std::max(maxY, p->y);
        }
        edges += std::hypot(t.b.x - t.a.x, t.b.y - t.a.y);
    }
    typicalEdge_ = std::max(edges / static_cast<double>(triangles_.size()), 0.1);
    // About two triangles a cell.
    const double area = std::max((maxX - minX) * (maxY - minY), 1.0);
    cell_ = std::max(std::sqrt(area * 2.0 / static_cast<double>(triangles_.size())), 0.05);
    minX_ = minX, minY_ = minY;
    columns_ = static_cast<std::size_t>((maxX - minX) / cell_) + 1;
    rows_ = static_cast<std::size_t>((maxY - minY) / cell_) + 1;
    cells_.assign(columns_ * rows_, {});
    for (std::size_t i = 0; i < triangles_.size(); ++i) {
        const Triangle& t = triangles_[i];
        const auto column = [&](double x) {
            return std::min(columns_ - 1, static_cast<std::size_t>(std::max(0.0, (x - minX_) / cell_)));
        };
        const auto row = [&](double y) {
            return std::min(rows_ - 1, static_cast<std::size_t>(std::max(0.0, (y - minY_) / cell_)));
        };
        const std::size_t c0 = column(std::min({t.a.x, t.b.x, t.c.x})), c1 = column(std::max({t.a.x, t.b.x, t.c.x}));
        const std::size_t r0 = row(std::min({t.a.y, t.b.y, t.c.y})), r1 = row(std::max({t.a.y, t.b.y, t.c.y}));
        for (std::size_t r = r0; r <= r1; ++r) {
            for (std::size_t c = c0; c <= c1; ++c) cells_[r * columns_ + c].push_back(i);
        }
    }
}

bool HeightSampler::heightAt(double x, double y, double& z) const {
    if (cells_.empty()) return false;
    const double fx = (x - minX_) / cell_, fy = (y - minY_) / cell_;
    if (fx < 0 || fy < 0 || fx >= static_cast<double>(columns_) || fy >= static_cast<double>(rows_)) return false;
    bool found = false;
    for (std::size_t i : cells_[static_cast<std::size_t>(fy) * columns_ + static_cast<std::size_t>(fx)]) {
        const Triangle& t = triangles_[i];
        const double d = (t.b.y - t.c.y) * (t.a.x - t.c.x) + (t.c.x - t.b.x) * (t.a.y - t.c.y);
        if (std::abs(d) < 1e-12) continue;
        const double u = ((t.b.y - t.c.y) * (x - t.c.x) + (t.c.x - t.b.x) * (y - t.c.y)) / d;
        const double v = ((t.c.y - t.a.y) * (x - t.c.x) + (t.a.x - t.c.x) * (y - t.c.y)) / d;
        const double w = 1.0 - u - v;
        constexpr double kEdge = -1e-9;
        if (u < kEdge || v < kEdge || w < kEdge) continue;
        const double h = u * t.a.z + v * t.b.z + w * t.c.z;
        if (!found || h > z) z = h;
        found = true;
    }
    return found;
}
