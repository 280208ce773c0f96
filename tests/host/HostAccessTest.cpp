// The global host accessor: before installation every operation answers kHostNotSupplied.
#include <gtest/gtest.h>

#include "model/ModelHost.h"

TEST(HostAccess, UninstalledHostAnswersNotSuppliedAndRunsNothing) {
    installHost(nullptr);
    Host& h = host();
    EXPECT_EQ(static_cast<std::uint32_t>(kHostNotSupplied), 0x81060387u);

    std::int32_t count = -1;
    EXPECT_EQ(h.attributeCount(kAttrLayer, count), kHostNotSupplied);
    Attribute a;
    a.kind = kAttrLayer;
    a.name = "X";
    EXPECT_EQ(h.createAttribute(a), kHostNotSupplied);
    PolylineElement pl;
    ElementId id;
    EXPECT_EQ(h.defaultPolyline(pl), kHostNotSupplied);
    EXPECT_EQ(h.createPolyline(pl, id), kHostNotSupplied);
    GeoLocation g;
    EXPECT_EQ(h.readGeoLocation(g), kHostNotSupplied);
    EXPECT_EQ(h.writeGeoLocation(g), kHostNotSupplied);
    Selection sel;
    EXPECT_EQ(h.getSelection(sel), kHostNotSupplied);
    std::int32_t button = 0;
    EXPECT_EQ(h.alert({kAlertWarning, "", "t", "", {"OK"}}, button), kHostNotSupplied);
    EXPECT_EQ(h.reportLine("x"), kHostNotSupplied);
    MorphBodyId body = 0;
    EXPECT_EQ(h.morphBodyNew(body), kHostNotSupplied);

    bool ran = false;
    EXPECT_EQ(h.undoableCommand("Import GIS",
                                [&] {
                                    ran = true;
                                    return kHostOk;
                                }),
              kHostNotSupplied);
    EXPECT_FALSE(ran);
}

TEST(HostAccess, InstalledHostIsUsedUntilRemoved) {
    ModelHost model;
    installHost(&model);
    std::int32_t count = 0;
    EXPECT_EQ(host().attributeCount(kAttrLayer, count), kHostOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(host().reportLine("TERRAVOX: test"), kHostOk);
    ASSERT_EQ(model.reportLines().size(), 1u);

    installHost(nullptr);
    EXPECT_EQ(host().attributeCount(kAttrLayer, count), kHostNotSupplied);
}
