// The LOD2 reconstruction over the independent roof generator: every roof is right or marked for correction,
// measured against the true roof surface, and the roofs the type selection knows come back right and unmarked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "RoofGenerator.h"
#include "buildings/CloudRoofs.h"

using buildings::RoofFitResult;

TEST(GeneratedRoofs, EveryRoofIsRightOrMarkedAndKnownKindsAreRight) {
    constexpr double kRight = 0.5;  // metres RMS against the true roof
    const std::vector<roofgen::Building> generated = roofgen::generateBuildings(500000, 300000);
    std::vector<formats::CloudPoint> points;
    for (const roofgen::SurveyPoint& p : roofgen::survey(generated)) points.push_back({p.x, p.y, p.z, 0, 0, 0, p.cls});
    std::vector<buildings::Building3D> lod1;
    for (const roofgen::Building& b : generated) lod1.push_back({"", b.footprint, b.groundZ, b.eaveZ - b.groundZ});
    const std::vector<RoofFitResult> results = buildings::reconstructFootprints(lod1, points);
    ASSERT_EQ(results.size(), generated.size());

    std::map<std::string, std::map<std::string, int>> confusion;
    int rightOrMarked = 0, knownRight = 0, known = 0, marked = 0;
    std::string wrong;
    for (std::size_t i = 0; i < generated.size(); ++i) {
        const roofgen::Building& b = generated[i];
        const RoofFitResult& r = results[i];
        const double rms = roofgen::truthRms(b, r.vertices, r.faces);
        ++confusion[roofgen::roofName(b.roof)][r.typeName];
        const bool right = rms <= kRight;
        rightOrMarked += right || r.fallback;
        marked += r.fallback;
        if (!right && !r.fallback) wrong += b.label() + " as " + r.typeName + " rms " + std::to_string(rms) + "\n";
        if (!b.expectedType().empty()) {
            ++known;
            // Hipped roofs, two pairs of opposite planes, are always marked doubtful by the selection.
            const bool ok =
                r.typeName == b.expectedType() && (b.roof == roofgen::Roof::Hipped || (right && !r.fallback));
            knownRight += ok;
            if (!ok)
                std::printf("known kind missed: %s as %s, rms %.2f, marked %d\n", b.label().c_str(), r.typeName.c_str(),
                            rms, r.fallback);
        }
    }
    std::string table;
    for (const auto& [truth, row] : confusion) {
        table += truth + ":";
        for (const auto& [got, count] : row) table += " " + got + "=" + std::to_string(count);
        table += "\n";
    }
    std::printf("%sright or marked %d of %zu (marked %d); known kinds right %d of %d\n", table.c_str(), rightOrMarked,
                generated.size(), marked, knownRight, known);
    EXPECT_EQ(rightOrMarked, static_cast<int>(generated.size())) << wrong;
    EXPECT_EQ(knownRight, known);
}
