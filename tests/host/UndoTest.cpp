// Undoable commands: a failing or throwing body leaves the project exactly as it was.
#include <stdexcept>

#include "HostFixture.h"

using namespace hosttest;

namespace {

// Does a bit of everything a placement does, then answers `result`.
host::HostError changeEverything(model::ModelHost& h, host::HostError result) {
    host::Attribute layer;
    layer.kind = host::kAttrLayer;
    layer.name = "GIS_NOWA";
    if (host::HostError e = h.createAttribute(layer)) return e;
    host::Attribute fill;
    fill.kind = host::kAttrFill;
    fill.name = "Nowy wzor";
    if (host::HostError e = h.createAttribute(fill)) return e;
    host::ElementId id;
    if (host::HostError e = h.createPolyline(polyline(layer.index, {{0, 0}, {1, 1}}), id)) return e;
    if (host::HostError e = h.setElementIdText(id, "nowy")) return e;
    std::vector<host::ElementId> texts;
    h.listElements(host::kElemText, 0, texts);
    if (host::HostError e = h.deleteElements(texts)) return e;
    host::GeoLocation g;
    g.crsName = "EPSG:2177";
    if (host::HostError e = h.writeGeoLocation(g)) return e;
    h.setSelection({});
    return result;
}

}  // namespace

TEST(Undo, FailingOrThrowingBodyRestoresTheProjectByteForByte) {
    model::ModelHost h;
    populate(h);
    const std::string before = h.projectText();

    EXPECT_EQ(h.undoableCommand("Import GIS", [&] { return changeEverything(h, host::kHostGeneralError); }),
              host::kHostGeneralError);
    EXPECT_EQ(h.projectText(), before);
    host::Attribute found;
    EXPECT_EQ(h.findAttribute(host::kAttrLayer, "GIS_NOWA", found), host::kHostNameNotFound);

    EXPECT_THROW(h.undoableCommand("Import GIS",
                                   [&]() -> host::HostError {
                                       changeEverything(h, host::kHostOk);
                                       throw std::runtime_error("awaria w trakcie");
                                   }),
                 std::runtime_error);
    EXPECT_EQ(h.projectText(), before);
    EXPECT_FALSE(h.inUndoableCommand());

    // The rolled-back ids are gone for every read, not only from the file.
    std::vector<host::ElementId> polylines;
    ASSERT_EQ(h.listElements(host::kElemPolyline, 0, polylines), host::kHostOk);
    EXPECT_EQ(polylines.size(), 1u);
    for (const auto& id : polylines) {
        host::ElementHeader header;
        EXPECT_EQ(h.getElementHeader(id, header), host::kHostOk);
    }
    EXPECT_TRUE(h.committedCommands().empty());
}

TEST(Undo, SuccessfulBodyKeepsEverythingAndTheNameIsRecorded) {
    model::ModelHost h;
    populate(h);
    const std::string before = h.projectText();
    EXPECT_EQ(h.undoableCommand("Import GIS", [&] { return changeEverything(h, host::kHostOk); }), host::kHostOk);
    EXPECT_NE(h.projectText(), before);
    host::Attribute found;
    EXPECT_EQ(h.findAttribute(host::kAttrLayer, "GIS_NOWA", found), host::kHostOk);
    std::vector<host::ElementId> texts;
    ASSERT_EQ(h.listElements(host::kElemText, 0, texts), host::kHostOk);
    EXPECT_TRUE(texts.empty());
    host::GeoLocation g;
    ASSERT_EQ(h.readGeoLocation(g), host::kHostOk);
    EXPECT_EQ(g.crsName, "EPSG:2177");
    EXPECT_EQ(h.committedCommands(), std::vector<std::string>{"Import GIS"});
}

TEST(Undo, FailedInnerCommandUndoesOnlyItsOwnWork) {
    model::ModelHost h;
    host::ElementId outerId;
    host::ElementId innerId;
    host::HostError inner = host::kHostOk;
    EXPECT_EQ(h.undoableCommand("zewnetrzne",
                                [&] {
                                    h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), outerId);
                                    inner = h.undoableCommand("wewnetrzne", [&] {
                                        h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), innerId);
                                        return host::kHostGeneralError;
                                    });
                                    return host::kHostOk;
                                }),
              host::kHostOk);
    EXPECT_EQ(inner, host::kHostGeneralError);
    host::ElementHeader header;
    EXPECT_EQ(h.getElementHeader(outerId, header), host::kHostOk);
    EXPECT_EQ(h.getElementHeader(innerId, header), host::kHostBadId);
}

TEST(Undo, RefusedCommandDoesNotRunItsBody) {
    model::ModelHost h;
    h.injectFault(model::HostOp::UndoableCommand, model::ModelHost::failAlways(host::kHostGeneralError));
    bool ran = false;
    EXPECT_EQ(h.undoableCommand("Import GIS",
                                [&] {
                                    ran = true;
                                    return host::kHostOk;
                                }),
              host::kHostGeneralError);
    EXPECT_FALSE(ran);
}
