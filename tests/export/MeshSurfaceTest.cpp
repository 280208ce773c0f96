// Meshes keep their relief in the export: the surface over the level points and lines, its heights in the DXF's
// 3D faces, and a plan without the triangles' diagonals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include <pugixml.hpp>

#include "ExportFixture.h"
#include "exporter/MeshSurface.h"
#include "exporter/ModelExport.h"
#include "exporter/ModelSnapshot.h"
#include "platform/Numbers.h"

using namespace exporter;

namespace {

double hill(double x, double y) { return 3.0 * std::exp(-((x - 12) * (x - 12) + (y - 9) * (y - 9)) / 40.0); }

// A 30 x 20 m outline over a hill: level points on a jittered 1 m grid, or square level lines around the top.
host::MeshElement hillMesh(bool asLines) {
    host::MeshElement m;
    m.level = 100.0;
    m.outline = {
        {0, 0, hill(0, 0)}, {30, 0, hill(30, 0)}, {30, 20, hill(30, 20)}, {0, 20, hill(0, 20)}, {0, 0, hill(0, 0)}};
    unsigned seed = 7;
    auto jitter = [&] { return ((seed = seed * 1103515245u + 12345u) >> 16) % 1000 / 2500.0; };
    if (asLines) {
        for (double r = 1; r <= 8; r += 1.5) {
            std::vector<host::HostPoint3> line;
            for (double t = -r; t <= r; t += 0.5) line.push_back({12 + t, 9 - r, hill(12 + t, 9 - r)});
            for (double t = -r; t <= r; t += 0.5) line.push_back({12 + r, 9 + t, hill(12 + r, 9 + t)});
            line.push_back(line.front());  // closed lines repeat a vertex
            m.levelLines.push_back(line);
        }
    } else {
        for (int i = 1; i < 30; ++i)
            for (int j = 1; j < 20; ++j) {
                const double x = i + jitter(), y = j + jitter();
                m.levelLines.push_back({{x, y, hill(x, y)}});
            }
    }
    return m;
}

TEST(MeshSurface, CoversTheOutlineThroughEveryLevelVertexAndStaysDelaunay) {
    for (const bool asLines : {false, true}) {
        SCOPED_TRACE(asLines ? "level lines" : "level points");
        const host::MeshElement mesh = hillMesh(asLines);
        const MeshSurface s = meshSurface(mesh);
        ASSERT_EQ(s.triangles.size() % 3, 0u);
        std::vector<int> used(s.points.size(), 0);
        double area = 0;
        for (std::size_t i = 0; i < s.triangles.size(); i += 3) {
            const auto &a = s.points[s.triangles[i]], &b = s.points[s.triangles[i + 1]],
                       &d = s.points[s.triangles[i + 2]];
            const double twice = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
            EXPECT_GT(twice, 0.0) << "triangle " << i / 3 << " folded";
            area += twice / 2;
            for (std::size_t k = 0; k < 3; ++k) ++used[s.triangles[i + k]];
            // No vertex lies inside the circle of a triangle (relief follows the nearest points).
            for (const auto& p : s.points) {
                const double ax = a.x - p.x, ay = a.y - p.y, bx = b.x - p.x, by = b.y - p.y, dx = d.x - p.x,
                             dy = d.y - p.y;
                const double det = (ax * ax + ay * ay) * (bx * dy - dx * by) -
                                   (bx * bx + by * by) * (ax * dy - dx * ay) +
                                   (dx * dx + dy * dy) * (ax * by - bx * ay);
                EXPECT_LE(det, 1e-6) << "triangle " << i / 3;
            }
        }
        EXPECT_NEAR(area, 600.0, 1e-6);
        for (std::size_t i = 0; i < used.size(); ++i) EXPECT_GT(used[i], 0) << "vertex " << i << " left out";
        for (const auto& p : s.points) EXPECT_NEAR(p.z, 100.0 + hill(p.x, p.y), 1e-12);
    }
}

TEST(MeshSurface, DxfFacesCarryTheLevelPointHeightsAndThePlanHasNoDiagonals) {
    model::ModelHost h;
    host::MeshElement mesh = hillMesh(false);
    mesh.layer = exporttest::addLayer(h, "GIS_TEREN");
    host::ElementId id;
    ASSERT_EQ(h.createMesh(mesh, id), host::kHostOk);
    testsupport::TempDir dir;
    ASSERT_TRUE(exportModel(snapshotOf(h.state()), dir.path).ok);

    // Every level point is a vertex of the polyface mesh at its own height.
    std::istringstream dxf(testsupport::readFile(dir / "model.dxf"));
    std::vector<host::HostPoint3> corners;
    std::string code, value, entity;
    host::HostPoint3 p;
    while (std::getline(dxf, code) && std::getline(dxf, value)) {
        const int c = std::stoi(code);
        if (c == 0) entity = value;
        if (entity != "VERTEX" || (c != 10 && c != 20 && c != 30)) continue;
        double v = 0;
        ASSERT_TRUE(platform::parseDouble(value, v)) << value;
        if (c < 20) p.x = v;
        else if (c < 30) p.y = v;
        else corners.push_back({p.x, p.y, v});
    }
    for (const auto& line : mesh.levelLines) {
        const auto& q = line.front();
        const bool found = std::any_of(corners.begin(), corners.end(), [&](const host::HostPoint3& k) {
            return std::fabs(k.x - q.x) < 2e-6 && std::fabs(k.y - q.y) < 2e-6 && std::fabs(k.z - 100.0 - q.z) < 2e-6;
        });
        ASSERT_TRUE(found) << q.x << " " << q.y << " " << q.z;
    }

    // The plan draws the outline alone: level points have no lines to draw.
    pugi::xml_document svg;
    ASSERT_TRUE(svg.load_file((dir / "plan.svg").c_str()));
    const auto group = svg.select_node("//g[@data-layer='GIS_TEREN']").node();
    EXPECT_EQ(std::distance(group.children("path").begin(), group.children("path").end()), 1);
}

}  // namespace
