// The layer table: every data type belongs to one layer key, and the placement order is the one the page and
// the demo rely on.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "import/LayerTable.h"
#include "import/PlacementSteps.h"
#include "settings/DataTypes.h"

namespace importer {

namespace {

TEST(LayerTable, EveryDataTypeHasExactlyOneLayerKeyAndEveryKeyAGroup) {
    std::map<int, std::vector<std::string>> owners;
    for (const PageLayer& layer : pageLayers()) {
        EXPECT_FALSE(layer.groups.empty()) << layer.key;
        for (formats::DataType type : layer.types) owners[static_cast<int>(type)].push_back(layer.key);
    }
    for (int code = 0; code < 20; ++code) {
        SCOPED_TRACE(settings::dataTypeKey(static_cast<formats::DataType>(code)));
        EXPECT_EQ(owners[code].size(), 1u);
    }
}

TEST(LayerTable, PlacementStepsKeepTheirOrderAndNames) {
    std::vector<std::string> steps;
    for (const PlacementStep& step : placementSteps()) {
        EXPECT_EQ(step.number, static_cast<int>(steps.size()) + 1);
        steps.push_back(step.what);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"rastry", "obiekty 2D", "teren (Siatka)", "teren z chmury (Siatka)",
                                               "woda z chmury (Siatka)", "budynki3d", "budynkilod2", "dachychmura",
                                               "budynkindsm", "budynkirekon", "mosty", "drogi", "poziomice2d",
                                               "poziomice3d", "poziomicechmura3d"}));
}

}  // namespace

}  // namespace importer
