// The global host accessor: before installation every operation answers kHostNotSupplied.
#include <gtest/gtest.h>

#include "model/ModelHost.h"

using namespace host;

TEST(HostAccess, UninstalledHostAnswersNotSuppliedAndInstalledOneIsUsedUntilRemoved) {
    installHost(nullptr);
    Host& h = host::host();

    std::int32_t count = -1;
    PolylineElement pl;
    ElementId id;
    for (HostError e : {h.attributeCount(kAttrLayer, count), h.createPolyline(pl, id), h.reportLine("x")})
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

    installHost(nullptr);
    EXPECT_EQ(host::host().attributeCount(kAttrLayer, count), kHostNotSupplied);
}
