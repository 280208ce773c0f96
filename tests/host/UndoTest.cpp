// Undoable commands: a failing or throwing body leaves the project exactly as it was.
#include <stdexcept>
#include <utility>

#include "HostFixture.h"

using namespace hosttest;
using namespace host;

namespace {

// Does a bit of everything a placement does, then answers `result`.
HostError changeEverything(model::ModelHost& h, HostError result) {
    Attribute layer{.kind = kAttrLayer, .name = "GIS_NOWA"};
    if (HostError e = h.createAttribute(layer)) return e;
    Attribute fill{.kind = kAttrFill, .name = "Nowy wzor"};
    if (HostError e = h.createAttribute(fill)) return e;
    ElementId id;
    if (HostError e = h.createPolyline(polyline(layer.index, {{0, 0}, {1, 1}}), id)) return e;
    if (HostError e = h.setElementIdText(id, "nowy")) return e;
    std::vector<ElementId> texts;
    h.listElements(kElemText, 0, texts);
    if (HostError e = h.deleteElements(texts)) return e;
    if (HostError e = h.writeGeoLocation({.crsName = "EPSG:2177"})) return e;
    h.setSelection({});
    return result;
}

}  // namespace

TEST(Undo, FailingOrThrowingBodyRestoresTheProjectByteForByteAndSuccessKeepsIt) {
    model::ModelHost h;
    populate(h);
    const std::string before = h.projectText();

    EXPECT_EQ(h.undoableCommand("Import GIS", [&] { return changeEverything(h, kHostGeneralError); }),
              kHostGeneralError);
    EXPECT_EQ(h.projectText(), before);
    Attribute found;
    EXPECT_EQ(h.findAttribute(kAttrLayer, "GIS_NOWA", found), kHostNameNotFound);

    EXPECT_THROW(h.undoableCommand("Import GIS",
                                   [&]() -> HostError {
                                       changeEverything(h, kHostOk);
                                       throw std::runtime_error("awaria w trakcie");
                                   }),
                 std::runtime_error);
    EXPECT_EQ(h.projectText(), before);
    EXPECT_FALSE(h.inUndoableCommand());

    // The rolled-back ids are gone for every read, not only from the file.
    std::vector<ElementId> polylines;
    ASSERT_EQ(h.listElements(kElemPolyline, 0, polylines), kHostOk);
    EXPECT_EQ(polylines.size(), 1u);
    for (const auto& id : polylines) {
        ElementHeader header;
        EXPECT_EQ(h.getElementHeader(id, header), kHostOk);
    }

    // The same body succeeding keeps everything and records the name.
    EXPECT_EQ(h.undoableCommand("Import GIS", [&] { return changeEverything(h, kHostOk); }), kHostOk);
    EXPECT_NE(h.projectText(), before);
    EXPECT_EQ(h.findAttribute(kAttrLayer, "GIS_NOWA", found), kHostOk);
    EXPECT_EQ(h.committedCommands(), std::vector<std::string>{"Import GIS"});
    EXPECT_EQ(h.undoableCommandName(), "Import GIS");
}

TEST(Undo, EveryChangeCountsAndAChangeAfterTheCommandForgetsItsUndo) {
    model::ModelHost h;
    std::uint64_t revision = h.revision();
    const auto changes = [&] { return std::exchange(revision, h.revision()) != h.revision(); };
    EXPECT_EQ(h.undoableCommand("Import GIS", [&] { return changeEverything(h, kHostOk); }), kHostOk);
    EXPECT_TRUE(changes());
    h.setSelection({});
    EXPECT_TRUE(changes());
    EXPECT_EQ(h.undoableCommandName(), "Import GIS");  // a selection is no reason to forget it
    // The project's location set afterwards would be taken back by the undo: the undo is gone instead.
    EXPECT_EQ(h.writeGeoLocation({.crsName = "EPSG:2178"}), kHostOk);
    EXPECT_TRUE(changes());
    EXPECT_EQ(h.undoableCommandName(), "");
    EXPECT_NE(h.undoLastCommand(), kHostOk);
    EXPECT_FALSE(changes());
}

TEST(Undo, FailedInnerCommandUndoesOnlyItsOwnWorkAndRefusedCommandRunsNothing) {
    model::ModelHost h;
    ElementId outerId;
    ElementId innerId;
    HostError inner = kHostOk;
    EXPECT_EQ(h.undoableCommand("zewnetrzne",
                                [&] {
                                    h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), outerId);
                                    inner = h.undoableCommand("wewnetrzne", [&] {
                                        h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), innerId);
                                        return kHostGeneralError;
                                    });
                                    return kHostOk;
                                }),
              kHostOk);
    EXPECT_EQ(inner, kHostGeneralError);
    ElementHeader header;
    EXPECT_EQ(h.getElementHeader(outerId, header), kHostOk);
    EXPECT_EQ(h.getElementHeader(innerId, header), kHostBadId);

    // A refused command does not run its body.
    h.injectFault(model::HostOp::UndoableCommand, model::ModelHost::failAlways(kHostGeneralError));
    bool ran = false;
    EXPECT_EQ(h.undoableCommand("Import GIS",
                                [&] {
                                    ran = true;
                                    return kHostOk;
                                }),
              kHostGeneralError);
    EXPECT_FALSE(ran);
}
