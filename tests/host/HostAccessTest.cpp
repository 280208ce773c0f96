// The global host accessor: before installation every operation answers kHostNotSupplied.
#include <gtest/gtest.h>

#include "model/ModelHost.h"

using namespace host;

TEST(HostAccess, UninstalledHostAnswersNotSuppliedAndInstalledOneIsUsedUntilRemoved) {
    installHost(nullptr);
    Host& h = host::host();

    std::int32_t count = -1, button = 0;
    Attribute a{.kind = kAttrLayer, .name = "X"};
    PolylineElement pl;
    ElementId id;
    GeoLocation g;
    Selection sel;
    MorphBodyId body = 0;
    for (HostError e : {h.attributeCount(kAttrLayer, count), h.createAttribute(a), h.defaultPolyline(pl),
                        h.createPolyline(pl, id), h.readGeoLocation(g), h.writeGeoLocation(g), h.getSelection(sel),
                        h.alert({kAlertWarning, "", "t", "", {"OK"}}, button), h.reportLine("x"), h.morphBodyNew(body)})
        EXPECT_EQ(e, kHostNotSupplied);
    bool ran = false;
    EXPECT_EQ(h.undoableCommand("Import GIS",
                                [&] {
                                    ran = true;
                                    return kHostOk;
                                }),
              kHostNotSupplied);
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
