// Terrain and contour meshes and 2D contour drawing, made in the in-process model host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <sstream>

#include "model/ModelHost.h"
#include "settings/Diagnostics.h"
#include "support/TestSupport.h"
#include "terrain/Terrain.h"

namespace {

// A model host installed for one test, with the diagnostics folder in a temporary place.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_STATE_HOME")) oldState_ = old;
        setenv("XDG_STATE_HOME", dir_.path.c_str(), 1);
        host::installHost(&model_);
        for (const char* name : {"GIS_teren", "GIS_poziomice3d", "GIS_poziomice2d"}) {
            host::Attribute layer{.kind = host::kAttrLayer, .name = name};
            ASSERT_EQ(model_.createAttribute(layer), host::kHostOk);
            layers_.push_back(layer.index);
        }
    }
    void TearDown() override {
        host::installHost(nullptr);
        if (oldState_) setenv("XDG_STATE_HOME", oldState_->c_str(), 1);
        else unsetenv("XDG_STATE_HOME");
    }
    // Lines of the terrain diagnostic file.
    std::vector<std::string> diagLines() {
        const auto path = settings::diagnosticPath(settings::kTerenDiagFile);
        std::istringstream in(std::filesystem::exists(path) ? testsupport::readFile(path) : std::string());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    template <class T>
    std::vector<T> elements(std::int32_t type, host::HostError (host::Host::*get)(const host::ElementId&, T&)) {
        std::vector<host::ElementId> ids;
        EXPECT_EQ(model_.listElements(type, 0, ids), host::kHostOk);
        std::vector<T> out(ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ((model_.*get)(ids[i], out[i]), host::kHostOk);
        return out;
    }

    testsupport::TempDir dir_;
    model::ModelHost model_;
    std::optional<std::string> oldState_;
    std::vector<std::int32_t> layers_;  // terrain, 3D contours, 2D contours
};

// A shift as the project transform: easy to check, and the mesh must use it for every point.
host::HostPoint2 shifted(double x, double y) { return {x - 1000.0, y - 2000.0}; }

const std::array<host::HostPoint2, 4> kCorners{{{1000, 2000}, {1010, 2000}, {1010, 2010}, {1000, 2010}}};

}  // namespace

using TerrainMeshTest = HostFixture;

TEST_F(TerrainMeshTest, CornersTakeTheNearestValidHeightAndPointsBecomeLevelPoints) {
    terrain::TerrainPatch patch{1000, 2000, 1010, 2010, {}};
    // The lower-left node is missing: that corner takes the height of the nearest node that has one.
    for (int y = 0; y <= 10; y += 5)
        for (int x = 0; x <= 10; x += 5)
            if (x || y) patch.points.push_back({1000.0 + x, 2000.0 + y, 100.0 + x + 0.1 * y});
    ASSERT_EQ(terrain::createTerrainMesh(patch, shifted, 90.0, layers_[0], kCorners), host::kHostOk);

    auto meshes = elements<host::MeshElement>(host::kElemMesh, &host::Host::getMesh);
    ASSERT_EQ(meshes.size(), 1u);
    const host::MeshElement& m = meshes[0];
    EXPECT_EQ(m.layer, layers_[0]);
    ASSERT_EQ(m.outline.size(), 5u);
    EXPECT_EQ(m.outline[0], (host::HostPoint3{0, 0, 15.0}));  // nearest to (0, 0): (5, 0) before (0, 5)
    EXPECT_EQ(m.outline[3], (host::HostPoint3{0, 10, 11.0}));
    ASSERT_EQ(m.levelLines.size(), 8u);
    EXPECT_EQ(m.levelLines[7], (std::vector<host::HostPoint3>{{10, 10, 21.0}}));

    auto diag = diagLines();
    ASSERT_EQ(diag.size(), 1u);
    EXPECT_EQ(diag[0],
              "createMesh nPts=8 err=0 ptXY=[0..10,0..10] ringXY=[0..10,0..10] ptZ=[10.5..21] "
              "ringZ=[15,20,21,11]");

    // A patch without points makes nothing and answers success; a host failure is passed on and logged.
    EXPECT_EQ(terrain::createTerrainMesh(terrain::TerrainPatch{}, shifted, 0, layers_[0], kCorners), host::kHostOk);
    model_.injectFault(model::HostOp::CreateElement, model::ModelHost::failAlways(host::kHostOutOfMemory));
    EXPECT_EQ(terrain::createTerrainMesh(patch, shifted, 90.0, layers_[0], kCorners), host::kHostOutOfMemory);
    diag = diagLines();
    ASSERT_EQ(diag.size(), 2u);
    EXPECT_NE(diag[1].find("err=" + std::to_string(host::kHostOutOfMemory)), std::string::npos);
}

TEST_F(TerrainMeshTest, ContourMeshSpansTheFrameWithLevelLines) {
    std::vector<terrain::ContourLine> contours{
        {101, false, {{1002, 2002}, {1008, 2002}, {1008, 2008}, {1002, 2008}, {1002, 2002}}},  // closed
        {100, true, {{1000, 2001}, {1010, 2001}}},                                             // open
        {102, false, {{1005, 2005}, {1005.5, 2005}}},                                          // stub
        {103, false, {{1005, 2005}}},
    };
    terrain::ContourMeshResult r = terrain::createContourMesh(contours, shifted, 50.0, layers_[1], kCorners);
    EXPECT_TRUE(r.created);
    auto meshes = elements<host::MeshElement>(host::kElemMesh, &host::Host::getMesh);
    ASSERT_EQ(meshes.size(), 1u);
    ASSERT_EQ(meshes[0].levelLines.size(), 2u);
    EXPECT_EQ(meshes[0].levelLines[1], (std::vector<host::HostPoint3>{{0, 1, 50}, {10, 1, 50}}));
    auto diag = diagLines();
    ASSERT_EQ(diag.size(), 1u);
    EXPECT_EQ(diag[0],
              "createMeshFromContours nPts=7 nSub=2 (zamk=1 otw=1 stubOdrzuc=2 lenMin=10 lenMax=24) err=0 "
              "ptXY=[0..10,1..8] ramka=10x10 fkZ=[50,50,51,51] cZ=[50..51]");

    // Too few points, or a frame without extent: no mesh, no error.
    terrain::ContourMeshResult few = terrain::createContourMesh({contours[2]}, shifted, 0, layers_[1], kCorners);
    EXPECT_FALSE(few.created);
    std::array<host::HostPoint2, 4> flat{{{1000, 2000}, {1000, 2000}, {1010, 2010}, {1000, 2010}}};
    EXPECT_FALSE(terrain::createContourMesh(contours, shifted, 0, layers_[1], flat).created);
}

using ContourDrawingTest = HostFixture;

TEST_F(ContourDrawingTest, PolylinesWithPensAndUprightLabels) {
    std::vector<terrain::ContourLine> contours{
        {100, true, {{1000, 2000}, {1130, 2000}}},  // index, 130 m: 3 labels
        {101, false, {{1000, 2010}, {1040, 2010}}},
        {102, false, {{1000, 2020}}},  // cannot be drawn
    };
    // A project rotated by a quarter turn: labels along the x axis are turned to stay upright.
    const double rotation = std::numbers::pi / 2;
    terrain::ContourDrawResult r = terrain::drawContours2d(contours, shifted, rotation, layers_[2], false, true);
    EXPECT_EQ(r.polylines, 2);
    EXPECT_EQ(r.labels, 3);
    EXPECT_EQ(r.failures, 1);
    auto polylines = elements<host::PolylineElement>(host::kElemPolyline, &host::Host::getPolyline);
    ASSERT_EQ(polylines.size(), 2u);
    EXPECT_EQ(polylines[0].pen, 2);
    EXPECT_EQ(polylines[1].pen, 1);
    EXPECT_EQ(polylines[0].points, (std::vector<host::HostPoint2>{{0, 0}, {130, 0}}));
    auto texts = elements<host::TextElement>(host::kElemText, &host::Host::getText);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].position, (host::HostPoint2{25, 0}));
    EXPECT_DOUBLE_EQ(texts[0].angle, std::numbers::pi / 2);  // 0 - pi/2 turned upright

    // The fetched lines are untouched by smoothing at placement; without the 2D layer nothing is drawn.
    const auto before = contours[0].points;
    terrain::ContourDrawResult smooth = terrain::drawContours2d(contours, shifted, 0.0, layers_[2], true, true);
    EXPECT_EQ(smooth.polylines, 2);
    EXPECT_EQ(contours[0].points, before);
    terrain::ContourDrawResult none = terrain::drawContours2d(contours, shifted, 0.0, layers_[2], false, false);
    EXPECT_EQ(none.polylines + none.labels + none.failures, 0);

    // Host refusals are counted, not hidden.
    model_.injectFault(model::HostOp::CreateElement, model::ModelHost::failAlways(host::kHostLockedLayer));
    terrain::ContourDrawResult refused = terrain::drawContours2d(contours, shifted, 0.0, layers_[2], false, true);
    EXPECT_EQ(refused.failures, 3);
}
