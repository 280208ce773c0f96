// The demo town through every layer the demo fetches: each brings what the town's services hold for the frame,
// counted from the town itself (the register's parcels and buildings meeting the frame, the pipes under its
// streets, the building models touching it), and no layer reports a missing service.
#include <gtest/gtest.h>

#include <set>

#include "BuildingPackages.h"
#include "FeatureStore.h"
#include "FetchFixture.h"
#include "Town.h"

namespace importer {

namespace {

using sim::town::demoTown;

class DemoTown : public FetchSim {
protected:
    // 400 m around the market square, over the river.
    const geodesy::PlanarPoint c = demoTown().centre;
    const geodesy::Bbox frame{c.x - 200, c.y - 250, c.x + 200, c.y + 150};

    template <class Items, class Ring>
    int meeting(const Items& items, Ring ring, bool line = false) const {
        int n = 0;
        for (const auto& item : items) {
            sim::SimFeature f;
            if (line) f.line = ring(item);
            else f.rings = {ring(item)};
            n += sim::featureMeetsBox(f, frame) ? 1 : 0;
        }
        return n;
    }
    // Features of a type told apart by their identifier (a feature crossing a tile's edge comes with each tile).
    static int distinct(const FetchedData& data, formats::DataType type) {
        std::set<std::string> ids;
        for (const gml::GisFeature& f : data.features)
            if (f.type == type) {
                std::string id;
                for (const char* key : {"gml_id", "ID_DZIALKI", "ID_BUDYNKU"})
                    if (id.empty() && f.props.count(key)) id = f.props.at(key);
                if (id.empty() && !f.lines.empty() && !f.lines[0].empty())
                    id = f.props.at("rodzajSieci") + std::to_string(f.lines[0][0].x) + std::to_string(f.lines[0][0].y);
                ids.insert(id);
            }
        return static_cast<int>(ids.size());
    }
    // Package buildings whose footprint box touches the frame, as a sheet reader counts them.
    int touching(const std::vector<sim::PackageBuilding>& buildings) const {
        int n = 0;
        for (const sim::PackageBuilding& b : buildings)
            n += b.minE <= frame.maxE && b.maxE >= frame.minE && b.minN <= frame.maxN && b.maxN >= frame.minN ? 1 : 0;
        return n;
    }
};

TEST_F(DemoTown, EveryLayerBringsWhatTheTownHoldsInTheFrame) {
    const sim::town::Town& t = demoTown();
    const FetchedData data =
        fetch({"dzialki", "budynki", "gesut", "bdot500", "rastr", "mpzp", "pog", "teren", "budynki3d", "budynkilod2"},
              frame, 2178);
    const int parcels = meeting(t.parcels, [](const sim::town::Parcel& p) { return p.ring; });
    const int buildings = meeting(t.buildings, [](const sim::town::Building& b) { return b.outline; });
    const int pipes = meeting(
        t.pipes, [](const sim::town::Pipe& p) { return p.line; }, true);
    EXPECT_GT(parcels, 80);
    EXPECT_EQ(distinct(data, formats::DataType::dzialki), parcels);
    EXPECT_EQ(distinct(data, formats::DataType::budynki), buildings);
    EXPECT_EQ(distinct(data, formats::DataType::gesut), pipes);
    // General-plan zones with a corner in the frame are kept, those not meeting it never.
    int cornerIn = 0;
    for (const sim::town::PlanZone& z : t.generalPlan)
        cornerIn += std::any_of(z.ring.begin(), z.ring.end(), [&](const auto& p) { return frame.contains(p); }) ? 1 : 0;
    const int zones = countOfType(data, formats::DataType::pog);
    EXPECT_GE(zones, cornerIn);
    EXPECT_LE(zones, meeting(t.generalPlan, [](const sim::town::PlanZone& z) { return z.ring; }));
    EXPECT_GT(cornerIn, 1);
    std::map<formats::DataType, int> rasters;
    for (const auto& r : data.rasters) ++rasters[r.type];
    EXPECT_EQ(rasters,
              (std::map<formats::DataType, int>{
                  {formats::DataType::mpzp, 1}, {formats::DataType::bdot500, 1}, {formats::DataType::rastry, 1}}));
    EXPECT_FALSE(data.terrain.empty());
    EXPECT_EQ(static_cast<int>(data.buildings3d.size()), touching(sim::packages::demoBuildings(false)));
    EXPECT_EQ(static_cast<int>(data.buildingsLod2.size()), touching(sim::packages::demoBuildings(true)));
    for (const char* missing : {"nie odpowiada", "Brak", "nie publikuje", "pominiete"})
        EXPECT_EQ(data.warning.find(missing), std::string::npos) << data.warning;
}

}  // namespace

}  // namespace importer
