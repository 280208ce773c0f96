// Layer and type names picked from capabilities documents.
#include <gtest/gtest.h>

#include "net/ServiceRegistryLayers.h"

using formats::DataType;

namespace {

const char* kWmsCaps = R"(<?xml version="1.0"?>
<WMT_MS_Capabilities version="1.1.1"><Service><Name>WMS</Name><Title>GESUT powiatu</Title></Service>
<Capability><Layer><Name>default</Name><Title>Wszystko</Title>
  <Layer queryable="1"><Name>gesut_przewod_wodociagowy</Name><Title>Woda</Title></Layer>
  <Layer><Name>GESUT_PRZEWOD_GAZOWY</Name></Layer>
  <Layer><Name>przewod_elektroenergetyczny</Name></Layer>
  <Layer><Name>gesut_przewod_wodociagowy</Name></Layer>
  <Layer><Name>urzadzenia_strefa_ochronna</Name></Layer>
  <Layer><Name>siec cieplna</Name></Layer>
  <Layer><Name/></Layer><Layer><Name></Name></Layer>
  <Layer><Name>dwu
linijkowa</Name></Layer>
  <Layer><Name>OT_Budowle</Name></Layer>
  <Layer><Name>bdot500_budowle_strefa</Name></Layer>
  <Layer><Name>OT_Ogrodzenia</Name></Layer>
  <Layer><Name>dzialki</Name></Layer>
  <NameSpace>ignored</NameSpace>
</Layer></Capability></WMT_MS_Capabilities>)";

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : "|") + n;
    return out;
}

}  // namespace

TEST(CapabilityNames, ExtractAndFilter) {
    EXPECT_EQ(joined(net::extractCapabilityNames(kWmsCaps)),
              "WMS|default|gesut_przewod_wodociagowy|GESUT_PRZEWOD_GAZOWY|przewod_elektroenergetyczny|"
              "gesut_przewod_wodociagowy|urzadzenia_strefa_ochronna|siec cieplna|OT_Budowle|bdot500_budowle_strefa|"
              "OT_Ogrodzenia|dzialki")
        << "self-closing, empty and multi-line names are skipped; repeats kept";
    EXPECT_EQ(joined(net::filterLayerNames(kWmsCaps)),
              "gesut_przewod_wodociagowy|GESUT_PRZEWOD_GAZOWY|przewod_elektroenergetyczny|urzadzenia_strefa_ochronna|"
              "OT_Budowle|bdot500_budowle_strefa|OT_Ogrodzenia|dzialki");
    EXPECT_TRUE(net::extractCapabilityNames("<Name>cut off").empty());
}

TEST(CapabilityNames, ThematicAndPipeSelection) {
    const std::vector<std::string> gesut = {"gesut_przewod_wodociagowy", "GESUT_PRZEWOD_GAZOWY",
                                            "przewod_elektroenergetyczny"};
    EXPECT_EQ(net::selectThematicLayers(kWmsCaps, DataType::gesut), gesut) << "strefa layers are dropped";
    const std::vector<std::string> bdot = {"OT_Budowle", "OT_Ogrodzenia"};
    EXPECT_EQ(net::selectThematicLayers(kWmsCaps, DataType::bdot500), bdot);
    EXPECT_EQ(net::selectPipeLayers(kWmsCaps), gesut) << "no repeats";
}
