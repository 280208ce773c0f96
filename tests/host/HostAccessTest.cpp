// The global host accessor: before installation every operation answers kHostNotSupplied.
#include <gtest/gtest.h>

#include "model/ModelHost.h"

TEST(HostAccess, UninstalledHostAnswersNotSuppliedAndRunsNothing) {
    host::installHost(nullptr);
    host::Host& h = host::host();
    EXPECT_EQ(static_cast<std::uint32_t>(host::kHostNotSupplied), 0x81060387u);

    std::int32_t count = -1;
    EXPECT_EQ(h.attributeCount(host::kAttrLayer, count), host::kHostNotSupplied);
    host::Attribute a;
    a.kind = host::kAttrLayer;
    a.name = "X";
    EXPECT_EQ(h.createAttribute(a), host::kHostNotSupplied);
    host::PolylineElement pl;
    host::ElementId id;
    EXPECT_EQ(h.defaultPolyline(pl), host::kHostNotSupplied);
    EXPECT_EQ(h.createPolyline(pl, id), host::kHostNotSupplied);
    host::GeoLocation g;
    EXPECT_EQ(h.readGeoLocation(g), host::kHostNotSupplied);
    EXPECT_EQ(h.writeGeoLocation(g), host::kHostNotSupplied);
    host::Selection sel;
    EXPECT_EQ(h.getSelection(sel), host::kHostNotSupplied);
    std::int32_t button = 0;
    EXPECT_EQ(h.alert({host::kAlertWarning, "", "t", "", {"OK"}}, button), host::kHostNotSupplied);
    EXPECT_EQ(h.reportLine("x"), host::kHostNotSupplied);
    host::MorphBodyId body = 0;
    EXPECT_EQ(h.morphBodyNew(body), host::kHostNotSupplied);

    bool ran = false;
    EXPECT_EQ(h.undoableCommand("Import GIS",
                                [&] {
                                    ran = true;
                                    return host::kHostOk;
                                }),
              host::kHostNotSupplied);
    EXPECT_FALSE(ran);
}

TEST(HostAccess, InstalledHostIsUsedUntilRemoved) {
    model::ModelHost model;
    host::installHost(&model);
    std::int32_t count = 0;
    EXPECT_EQ(host::host().attributeCount(host::kAttrLayer, count), host::kHostOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(host::host().reportLine("TERRAVOX: test"), host::kHostOk);
    ASSERT_EQ(model.reportLines().size(), 1u);

    host::installHost(nullptr);
    EXPECT_EQ(host::host().attributeCount(host::kAttrLayer, count), host::kHostNotSupplied);
}
