// The global host accessor: before installation every operation answers kHostNotSupplied.
#include <functional>

#include <gtest/gtest.h>

#include "model/ModelHost.h"

using namespace host;

TEST(HostAccess, UninstalledHostAnswersNotSuppliedAndInstalledOneIsUsedUntilRemoved) {
    installHost(nullptr);
    Host& h = host::host();
    EXPECT_EQ(static_cast<std::uint32_t>(kHostNotSupplied), 0x81060387u);

    std::int32_t count = -1, button = 0;
    Attribute a{.kind = kAttrLayer, .name = "X"};
    PolylineElement pl;
    ElementId id;
    GeoLocation g;
    Selection sel;
    MorphBodyId body = 0;
    bool ran = false;
    const std::vector<std::pair<const char*, std::function<HostError()>>> calls = {
        {"attributeCount", [&] { return h.attributeCount(kAttrLayer, count); }},
        {"createAttribute", [&] { return h.createAttribute(a); }},
        {"defaultPolyline", [&] { return h.defaultPolyline(pl); }},
        {"createPolyline", [&] { return h.createPolyline(pl, id); }},
        {"readGeoLocation", [&] { return h.readGeoLocation(g); }},
        {"writeGeoLocation", [&] { return h.writeGeoLocation(g); }},
        {"getSelection", [&] { return h.getSelection(sel); }},
        {"alert",
         [&] {
             return h.alert({kAlertWarning, "", "t", "", {"OK"}}, button);
         }},
        {"reportLine", [&] { return h.reportLine("x"); }},
        {"morphBodyNew", [&] { return h.morphBodyNew(body); }},
        {"undoableCommand",
         [&] {
             return h.undoableCommand("Import GIS", [&] {
                 ran = true;
                 return kHostOk;
             });
         }},
    };
    for (const auto& [name, call] : calls) EXPECT_EQ(call(), kHostNotSupplied) << name;
    EXPECT_FALSE(ran);

    model::ModelHost model;
    installHost(&model);
    EXPECT_EQ(host::host().attributeCount(kAttrLayer, count), kHostOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(host::host().reportLine("TERRAVOX: test"), kHostOk);
    ASSERT_EQ(model.reportLines().size(), 1u);

    installHost(nullptr);
    EXPECT_EQ(host::host().attributeCount(kAttrLayer, count), kHostNotSupplied);
}
