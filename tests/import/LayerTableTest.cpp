// The layer table: every data type belongs to one layer key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "import/LayerTable.h"
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

}  // namespace

}  // namespace importer
