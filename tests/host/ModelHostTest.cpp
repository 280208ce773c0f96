// The model host's operations: attributes, element checks, lists, deletion, selection, morph bodies and threads.
#include <cmath>
#include <limits>
#include <thread>

#include "HostFixture.h"

using namespace hosttest;
using namespace host;

TEST(ModelHostAttributes, CreateFindAndRefuseBadNames) {
    model::ModelHost h;
    std::int32_t layers = 0;
    ASSERT_EQ(h.attributeCount(kAttrLayer, layers), kHostOk);
    EXPECT_EQ(layers, 1);  // a new project has its base layer
    Attribute a{.kind = kAttrLayer, .name = "GIS_BUDYNKI"};
    ASSERT_EQ(h.createAttribute(a), kHostOk);
    EXPECT_EQ(a.index, 2);
    Attribute got;
    ASSERT_EQ(h.getAttribute(kAttrLayer, 2, got), kHostOk);
    EXPECT_EQ(got.name, "GIS_BUDYNKI");
    EXPECT_EQ(h.findAttribute(kAttrLayer, "GIS_BUDYNKI", got), kHostOk);
    EXPECT_EQ(h.findAttribute(kAttrLayer, "gis_budynki", got), kHostNameNotFound);  // case counts
    EXPECT_EQ(h.getAttribute(kAttrLayer, 3, got), kHostBadIndex);

    const std::vector<std::pair<Attribute, HostError>> creations = {
        {a, kHostNameInUse},
        {{.kind = kAttrMaterial, .name = "GIS_BUDYNKI"}, kHostOk},  // the same name in another kind is fine
        {{.kind = kAttrLayer}, kHostBadPars},
        {{.kind = kAttrLayer, .name = std::string(256, 'A')}, kHostBadPars},
        {{.kind = 99, .name = "x"}, kHostBadPars},
    };
    for (auto [attr, expected] : creations) EXPECT_EQ(h.createAttribute(attr), expected) << attr.name;
    std::int32_t count = 0;
    ASSERT_EQ(h.attributeCount(kAttrLayer, count), kHostOk);
    EXPECT_EQ(count, 2);
}

TEST(ModelHostElements, InvalidGeometryAndSettingsAreRefused) {
    model::ModelHost h;
    ElementId id;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(h.createPolyline(polyline(0, {{0, 0}, {1, 1}}), id), kHostBadIndex);  // no layer 0
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}}), id), kHostBadPars);
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}, {nan, 1}}), id), kHostBadPars);
    EXPECT_EQ(h.createPolyline({.points = {{0, 0}, {1, 1}}, .arcs = {{0, 2, 0.3}}}, id), kHostBadPars);
    EXPECT_EQ(h.createFill({.contours = {{{0, 0}, {1, 0}, {0, 0}}}}, id), kHostBadPars);
    EXPECT_EQ(h.createFill({.fillType = 99, .contours = {square(0, 0, 1)}}, id), kHostBadIndex);
    EXPECT_EQ(h.createFill({.fillType = 1, .ownColour = {1.5, 0, 0}, .contours = {square(0, 0, 1)}}, id), kHostBadPars);
    EXPECT_EQ(h.createSlab({.thickness = 0.0, .contours = {square(0, 0, 1)}}, id), kHostBadPars);
    EXPECT_EQ(h.createText({.size = std::numeric_limits<double>::infinity()}, id), kHostBadPars);
    EXPECT_EQ(h.createPicture({.boxMax = {1, 1}}, id), kHostBadPars);  // no bytes
    EXPECT_EQ(h.createMesh({.material = 42, .outline = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}, id), kHostBadIndex);
    EXPECT_EQ(h.writeGeoLocation({.surveyEasting = nan}), kHostBadPars);
    std::int32_t button = 0;
    EXPECT_EQ(h.alert({kAlertInformation, "", "bez przyciskow", "", {}}, button), kHostBadPars);

    EXPECT_TRUE(h.state().elements.empty());
    EXPECT_FALSE(h.state().geoLocationSet);
    EXPECT_TRUE(h.alertsShown().empty());
}

TEST(ModelHostElements, ReadBackListsByTypeAndStoryAndSelection) {
    model::ModelHost h;
    ElementId a, b, c, t;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), a), kHostOk);
    h.setActiveStory(1);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), b), kHostOk);
    TextElement text{.content = "x"};
    ASSERT_EQ(h.createText(text, t), kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {3, 0}}), c), kHostOk);

    std::vector<ElementId> ids;
    ASSERT_EQ(h.listElements(kElemPolyline, kFilterActiveStory, ids), kHostOk);
    EXPECT_EQ(ids, (std::vector<ElementId>{b, c}));
    ASSERT_EQ(h.listElements(kElemPolyline, 0, ids), kHostOk);
    EXPECT_EQ(ids, (std::vector<ElementId>{a, b, c}));  // creation order
    EXPECT_EQ(h.listElements(77, 0, ids), kHostBadPars);

    ElementHeader header;
    ASSERT_EQ(h.getElementHeader(t, header), kHostOk);
    EXPECT_EQ(header.type, kElemText);
    EXPECT_EQ(header.story, 1);
    PolylineElement pl;
    EXPECT_EQ(h.getPolyline(t, pl), kHostBadElementType);
    EXPECT_EQ(h.getPolyline("no-such-id", pl), kHostBadId);

    // Unknown ids are refused; duplicates are kept once, in first-seen order.
    EXPECT_EQ(h.setSelection({b, "nope"}), kHostBadId);
    ASSERT_EQ(h.setSelection({b, a, b}), kHostOk);
    Selection sel;
    ASSERT_EQ(h.getSelection(sel), kHostOk);
    EXPECT_EQ(sel.ids, (std::vector<ElementId>{b, a}));
}

TEST(ModelHostElements, DeletionIsAllOrNothingAndRespectsLockedLayers) {
    model::ModelHost h;
    Attribute locked{.kind = kAttrLayer, .name = "ZABLOKOWANA"};
    ASSERT_EQ(h.createAttribute(locked), kHostOk);
    ElementId free1, free2, onLocked;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), free1), kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), free2), kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(locked.index, {{0, 0}, {3, 0}}), onLocked), kHostOk);
    ASSERT_EQ(h.setLayerLocked(locked.index, true), kHostOk);
    ASSERT_EQ(h.setSelection({free1, free2}), kHostOk);

    EXPECT_EQ(h.deleteElements({free1, onLocked}), kHostLockedLayer);
    EXPECT_EQ(h.deleteElements({free1, "unknown"}), kHostBadId);
    EXPECT_EQ(h.state().elements.size(), 3u);

    ASSERT_EQ(h.deleteElements({free1, free1}), kHostOk);
    std::vector<ElementId> ids;
    ASSERT_EQ(h.listElements(kElemPolyline, 0, ids), kHostOk);
    EXPECT_EQ(ids, (std::vector<ElementId>{free2, onLocked}));
    Selection sel;
    ASSERT_EQ(h.getSelection(sel), kHostOk);  // deleted elements leave the selection
    EXPECT_EQ(sel.ids, std::vector<ElementId>{free2});
}

TEST(ModelHostMorph, BuilderMakesAClosedBodyAndBrokenBodiesAreRefused) {
    model::ModelHost h;
    ElementId id;
    const MorphElement tet = tetrahedron(h, 1);
    ASSERT_EQ(h.createMorph(tet, id), kHostOk);

    MorphBodyId body = 0;
    ASSERT_EQ(h.morphBodyNew(body), kHostOk);
    std::int32_t v1, v2, v3, e1, e2, e3, n;
    ASSERT_EQ(h.morphBodyAddVertex(body, {0, 0, 0}, v1), kHostOk);
    ASSERT_EQ(h.morphBodyAddVertex(body, {1, 0, 0}, v2), kHostOk);
    ASSERT_EQ(h.morphBodyAddVertex(body, {0, 1, 0}, v3), kHostOk);
    EXPECT_EQ(v1, 1);  // numbers start at 1 so that -1 names edge 1 reversed
    EXPECT_EQ(h.morphBodyAddEdge(body, v1, 9, e1), kHostBadPars);
    ASSERT_EQ(h.morphBodyAddEdge(body, v1, v2, e1), kHostOk);
    ASSERT_EQ(h.morphBodyAddEdge(body, v2, v3, e2), kHostOk);
    ASSERT_EQ(h.morphBodyAddEdge(body, v3, v1, e3), kHostOk);
    EXPECT_EQ(h.morphBodyAddPolygon(body, {{e1, e2, 4}, false, 0}, n), kHostBadPars);
    // Edges that do not walk around: 1->2, then 3->1 reversed is 1->3.
    ASSERT_EQ(h.morphBodyAddPolygon(body, {{e1, -e3, e2}, false, 0}, n), kHostOk);
    MorphElement broken;
    ASSERT_EQ(h.morphBodyFinish(body, broken), kHostOk);
    ASSERT_EQ(h.morphBodyDispose(body), kHostOk);
    EXPECT_EQ(h.morphBodyDispose(body), kHostBadId);
    EXPECT_EQ(h.createMorph(broken, id), kHostBadPars);

    MorphElement noMaterial = tet;
    noMaterial.polygons[0].material = 999;
    EXPECT_EQ(h.createMorph(noMaterial, id), kHostBadIndex);
}

TEST(ModelHostThreads, CallsFromAnotherThreadAreRefusedAndCounted) {
    model::ModelHost h;
    ElementId id;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), kHostOk);
    HostError create = kHostOk;
    HostError read = kHostOk;
    HostError report = kHostOk;
    std::thread worker([&] {
        ElementId other;
        create = h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), other);
        PolylineElement pl;
        read = h.getPolyline(id, pl);
        report = h.reportLine("z watku roboczego");
    });
    worker.join();
    EXPECT_EQ(create, kHostGeneralError);
    EXPECT_EQ(read, kHostGeneralError);
    EXPECT_EQ(report, kHostGeneralError);
    EXPECT_EQ(h.offThreadCalls(), 3);
    EXPECT_EQ(h.state().elements.size(), 1u);

    // A host handed to another thread belongs to that thread.
    std::thread adopter([&] {
        h.adoptCurrentThread();
        create = h.createPolyline(polyline(1, {{0, 0}, {3, 0}}), id);
    });
    adopter.join();
    EXPECT_EQ(create, kHostOk);
}
