// The model host's operations: attributes, element checks, lists, deletion, selection, geolocation,
// morph bodies, alerts, report lines and fault injection.
#include <cmath>
#include <limits>
#include <thread>

#include "HostFixture.h"

using namespace hosttest;

TEST(ModelHostAttributes, NewProjectHasALayerASolidFillAndVectorialFills) {
    model::ModelHost h;
    std::vector<host::Attribute> fills;
    ASSERT_EQ(h.listAttributes(host::kAttrFill, fills), host::kHostOk);
    ASSERT_FALSE(fills.empty());
    int solid = 0;
    int vectorial = 0;
    for (std::size_t i = 0; i < fills.size(); ++i) {
        EXPECT_EQ(fills[i].index, static_cast<std::int32_t>(i + 1));
        solid += fills[i].fillKind == host::kFillSolid;
        vectorial += fills[i].fillKind == host::kFillVectorial;
    }
    EXPECT_EQ(solid, 1);
    EXPECT_GE(vectorial, 2);
    std::int32_t layers = 0;
    ASSERT_EQ(h.attributeCount(host::kAttrLayer, layers), host::kHostOk);
    EXPECT_EQ(layers, 1);
    std::vector<host::Attribute> buildingMaterials;
    ASSERT_EQ(h.listAttributes(host::kAttrBuildingMaterial, buildingMaterials), host::kHostOk);
    EXPECT_FALSE(buildingMaterials.empty());
}

TEST(ModelHostAttributes, CreateFindAndRefuseBadNames) {
    model::ModelHost h;
    host::Attribute a;
    a.kind = host::kAttrLayer;
    a.name = "GIS_BUDYNKI";
    ASSERT_EQ(h.createAttribute(a), host::kHostOk);
    EXPECT_EQ(a.index, 2);
    host::Attribute got;
    ASSERT_EQ(h.getAttribute(host::kAttrLayer, 2, got), host::kHostOk);
    EXPECT_EQ(got.name, "GIS_BUDYNKI");
    EXPECT_EQ(h.findAttribute(host::kAttrLayer, "GIS_BUDYNKI", got), host::kHostOk);
    EXPECT_EQ(got.index, 2);
    EXPECT_EQ(h.findAttribute(host::kAttrLayer, "gis_budynki", got), host::kHostNameNotFound);  // case counts
    EXPECT_EQ(h.getAttribute(host::kAttrLayer, 3, got), host::kHostBadIndex);
    EXPECT_EQ(h.getAttribute(host::kAttrLayer, 0, got), host::kHostBadIndex);

    host::Attribute same = a;
    EXPECT_EQ(h.createAttribute(same), host::kHostNameInUse);
    host::Attribute material;  // the same name in another kind is fine
    material.kind = host::kAttrMaterial;
    material.name = "GIS_BUDYNKI";
    EXPECT_EQ(h.createAttribute(material), host::kHostOk);

    host::Attribute empty;
    empty.kind = host::kAttrLayer;
    EXPECT_EQ(h.createAttribute(empty), host::kHostBadPars);
    host::Attribute tooLong;
    tooLong.kind = host::kAttrLayer;
    tooLong.name.assign(256, 'A');
    EXPECT_EQ(h.createAttribute(tooLong), host::kHostBadPars);
    host::Attribute badKind;
    badKind.kind = 99;
    badKind.name = "x";
    EXPECT_EQ(h.createAttribute(badKind), host::kHostBadPars);
    std::int32_t count = 0;
    ASSERT_EQ(h.attributeCount(host::kAttrLayer, count), host::kHostOk);
    EXPECT_EQ(count, 2);
}

TEST(ModelHostElements, InvalidGeometryAndSettingsAreRefused) {
    model::ModelHost h;
    host::ElementId id;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(h.createPolyline(polyline(0, {{0, 0}, {1, 1}}), id), host::kHostBadIndex);  // no layer 0
    EXPECT_EQ(h.createPolyline(polyline(5, {{0, 0}, {1, 1}}), id), host::kHostBadIndex);
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}}), id), host::kHostBadPars);
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}, {nan, 1}}), id), host::kHostBadPars);
    host::PolylineElement arcOut = polyline(1, {{0, 0}, {1, 1}});
    arcOut.arcs = {{0, 2, 0.3}};
    EXPECT_EQ(h.createPolyline(arcOut, id), host::kHostBadPars);

    host::FillElement fill;
    fill.contours = {{{0, 0}, {1, 0}, {0, 0}}};  // two distinct points
    EXPECT_EQ(h.createFill(fill, id), host::kHostBadPars);
    fill.contours = {square(0, 0, 1)};
    fill.fillType = 99;
    EXPECT_EQ(h.createFill(fill, id), host::kHostBadIndex);
    fill.fillType = 1;
    fill.ownColour = {1.5, 0, 0};
    EXPECT_EQ(h.createFill(fill, id), host::kHostBadPars);

    host::SlabElement slab;
    slab.contours = {square(0, 0, 1)};
    slab.thickness = 0.0;
    EXPECT_EQ(h.createSlab(slab, id), host::kHostBadPars);
    slab.thickness = 1.0;
    slab.buildingMaterial = 99;
    EXPECT_EQ(h.createSlab(slab, id), host::kHostBadIndex);

    host::TextElement text;
    text.size = std::numeric_limits<double>::infinity();
    EXPECT_EQ(h.createText(text, id), host::kHostBadPars);

    host::PictureElement pic;
    pic.boxMax = {1, 1};
    EXPECT_EQ(h.createPicture(pic, id), host::kHostBadPars);  // no bytes

    host::MeshElement mesh;
    mesh.outline = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    mesh.material = 42;
    EXPECT_EQ(h.createMesh(mesh, id), host::kHostBadIndex);

    EXPECT_TRUE(h.state().elements.empty());
}

TEST(ModelHostElements, ReadBackListsByTypeAndStory) {
    model::ModelHost h;
    host::ElementId a, b, c, t;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), a), host::kHostOk);
    h.setActiveStory(1);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), b), host::kHostOk);
    host::TextElement text;
    text.content = "x";
    ASSERT_EQ(h.createText(text, t), host::kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {3, 0}}), c), host::kHostOk);

    std::vector<host::ElementId> ids;
    ASSERT_EQ(h.listElements(host::kElemPolyline, host::kFilterActiveStory, ids), host::kHostOk);
    EXPECT_EQ(ids, (std::vector<host::ElementId>{b, c}));
    ASSERT_EQ(h.listElements(host::kElemPolyline, 0, ids), host::kHostOk);
    EXPECT_EQ(ids, (std::vector<host::ElementId>{a, b, c}));  // creation order
    EXPECT_EQ(h.listElements(77, 0, ids), host::kHostBadPars);

    host::ElementHeader header;
    ASSERT_EQ(h.getElementHeader(t, header), host::kHostOk);
    EXPECT_EQ(header.type, host::kElemText);
    EXPECT_EQ(header.layer, 1);
    EXPECT_EQ(header.story, 1);
    host::PolylineElement pl;
    EXPECT_EQ(h.getPolyline(t, pl), host::kHostBadElementType);
    EXPECT_EQ(h.getPolyline("no-such-id", pl), host::kHostBadId);
    ASSERT_EQ(h.getText(t, text), host::kHostOk);
    EXPECT_EQ(text.content, "x");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), 36u);
}

TEST(ModelHostElements, DeletionIsAllOrNothingAndRespectsLockedLayers) {
    model::ModelHost h;
    host::Attribute locked;
    locked.kind = host::kAttrLayer;
    locked.name = "ZABLOKOWANA";
    ASSERT_EQ(h.createAttribute(locked), host::kHostOk);
    host::ElementId free1, free2, onLocked;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), free1), host::kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), free2), host::kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(locked.index, {{0, 0}, {3, 0}}), onLocked), host::kHostOk);
    ASSERT_EQ(h.setLayerLocked(locked.index, true), host::kHostOk);
    ASSERT_EQ(h.setSelection({free1, free2}), host::kHostOk);

    EXPECT_EQ(h.deleteElements({free1, onLocked}), host::kHostLockedLayer);
    EXPECT_EQ(h.deleteElements({free1, "unknown"}), host::kHostBadId);
    EXPECT_EQ(h.state().elements.size(), 3u);

    ASSERT_EQ(h.deleteElements({free1, free1}), host::kHostOk);
    std::vector<host::ElementId> ids;
    ASSERT_EQ(h.listElements(host::kElemPolyline, 0, ids), host::kHostOk);
    EXPECT_EQ(ids, (std::vector<host::ElementId>{free2, onLocked}));
    host::Selection sel;
    ASSERT_EQ(h.getSelection(sel), host::kHostOk);  // deleted elements leave the selection
    EXPECT_EQ(sel.ids, std::vector<host::ElementId>{free2});
    EXPECT_EQ(sel.kind, host::kSelectionElements);
    EXPECT_EQ(h.setElementIdText(free1, "x"), host::kHostBadId);
}

TEST(ModelHostSelection, EmptyUnknownAndDuplicateIds) {
    model::ModelHost h;
    host::Selection sel;
    ASSERT_EQ(h.getSelection(sel), host::kHostOk);
    EXPECT_EQ(sel.kind, host::kSelectionNone);
    EXPECT_TRUE(sel.ids.empty());
    host::ElementId a, b;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), a), host::kHostOk);
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), b), host::kHostOk);
    EXPECT_EQ(h.setSelection({b, "nope"}), host::kHostBadId);
    ASSERT_EQ(h.setSelection({b, a, b}), host::kHostOk);
    ASSERT_EQ(h.getSelection(sel), host::kHostOk);
    EXPECT_EQ(sel.ids, (std::vector<host::ElementId>{b, a}));
}

TEST(ModelHostGeoLocation, NewProjectReadsAsNoGeoreferenceAndBadRecordsAreRefused) {
    model::ModelHost h;
    host::GeoLocation g;
    g.crsName = "stale";
    ASSERT_EQ(h.readGeoLocation(g), host::kHostOk);
    EXPECT_EQ(g, host::GeoLocation{});
    EXPECT_TRUE(g.crsName.empty());
    EXPECT_EQ(g.surveyEasting, 0.0);
    EXPECT_FALSE(h.state().geoLocationSet);

    host::GeoLocation bad;
    bad.surveyEasting = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(h.writeGeoLocation(bad), host::kHostBadPars);
    EXPECT_FALSE(h.state().geoLocationSet);

    host::GeoLocation good;
    good.crsName = "EPSG:2176";
    good.surveyExtra2 = 3.25;
    ASSERT_EQ(h.writeGeoLocation(good), host::kHostOk);
    ASSERT_EQ(h.readGeoLocation(g), host::kHostOk);
    EXPECT_EQ(g, good);
}

TEST(ModelHostMorph, BuilderMakesAClosedBodyAndBrokenBodiesAreRefused) {
    model::ModelHost h;
    host::ElementId id;
    const host::MorphElement tet = tetrahedron(h, 1);
    ASSERT_EQ(h.createMorph(tet, id), host::kHostOk);
    host::MorphElement back;
    ASSERT_EQ(h.getMorph(id, back), host::kHostOk);
    EXPECT_EQ(back, tet);
    EXPECT_EQ(back.vertices.size(), 4u);
    EXPECT_EQ(back.edges.size(), 6u);
    EXPECT_EQ(back.polygons.size(), 4u);

    host::MorphBodyId body = 0;
    ASSERT_EQ(h.morphBodyNew(body), host::kHostOk);
    std::int32_t v1, v2, v3, e1, e2, e3, n;
    ASSERT_EQ(h.morphBodyAddVertex(body, {0, 0, 0}, v1), host::kHostOk);
    ASSERT_EQ(h.morphBodyAddVertex(body, {1, 0, 0}, v2), host::kHostOk);
    ASSERT_EQ(h.morphBodyAddVertex(body, {0, 1, 0}, v3), host::kHostOk);
    EXPECT_EQ(v1, 1);  // numbers start at 1 so that -1 names edge 1 reversed
    EXPECT_EQ(h.morphBodyAddEdge(body, v1, 9, e1), host::kHostBadPars);
    EXPECT_EQ(h.morphBodyAddEdge(body, v1, v1, e1), host::kHostBadPars);
    ASSERT_EQ(h.morphBodyAddEdge(body, v1, v2, e1), host::kHostOk);
    ASSERT_EQ(h.morphBodyAddEdge(body, v2, v3, e2), host::kHostOk);
    ASSERT_EQ(h.morphBodyAddEdge(body, v3, v1, e3), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddPolygon(body, {{e1, e2, 4}, false, 0}, n), host::kHostBadPars);
    EXPECT_EQ(h.morphBodyAddPolygon(body, {{e1, 0, e3}, false, 0}, n), host::kHostBadPars);
    // Edges that do not walk around: 1->2, then 3->1 reversed is 1->3.
    ASSERT_EQ(h.morphBodyAddPolygon(body, {{e1, -e3, e2}, false, 0}, n), host::kHostOk);
    host::MorphElement broken;
    ASSERT_EQ(h.morphBodyFinish(body, broken), host::kHostOk);
    ASSERT_EQ(h.morphBodyDispose(body), host::kHostOk);
    EXPECT_EQ(h.morphBodyDispose(body), host::kHostBadId);
    EXPECT_EQ(h.morphBodyAddVertex(body, {0, 0, 0}, v1), host::kHostBadId);
    EXPECT_EQ(h.createMorph(broken, id), host::kHostBadPars);

    host::MorphElement noMaterial = tet;
    noMaterial.polygons[0].material = 999;
    EXPECT_EQ(h.createMorph(noMaterial, id), host::kHostBadIndex);
}

TEST(ModelHostAlerts, QueuedAnswersThenPolicyThenFirstButton) {
    model::ModelHost h;
    const host::AlertRequest ask{host::kAlertWarning, "", "Czyszczenie duplikatow", "opis", {"Uruchom", "Anuluj"}};
    std::int32_t button = 0;
    ASSERT_EQ(h.alert(ask, button), host::kHostOk);
    EXPECT_EQ(button, 1);
    h.queueAlertAnswers({2, 1});
    h.setAlertPolicy([](const host::AlertRequest& r) { return static_cast<std::int32_t>(r.buttons.size()); });
    ASSERT_EQ(h.alert(ask, button), host::kHostOk);
    EXPECT_EQ(button, 2);
    ASSERT_EQ(h.alert(ask, button), host::kHostOk);
    EXPECT_EQ(button, 1);
    ASSERT_EQ(h.alert(ask, button), host::kHostOk);
    EXPECT_EQ(button, 2);  // the policy
    EXPECT_EQ(h.alert({host::kAlertInformation, "", "bez przyciskow", "", {}}, button), host::kHostBadPars);
    ASSERT_EQ(h.alertsShown().size(), 4u);
    EXPECT_EQ(h.alertsShown()[0].largeText, "Czyszczenie duplikatow");
    EXPECT_EQ(h.alertsShown()[0].buttons[1], "Anuluj");
}

TEST(ModelHostReport, LinesAreKeptAndForwarded) {
    model::ModelHost h;
    std::vector<std::string> forwarded;
    h.setReportSink([&](const std::string& s) { forwarded.push_back(s); });
    ASSERT_EQ(h.reportLine("TERRAVOX: jeden"), host::kHostOk);
    ASSERT_EQ(h.reportLine("TERRAVOX: dwa"), host::kHostOk);
    EXPECT_EQ(h.reportLines(), (std::vector<std::string>{"TERRAVOX: jeden", "TERRAVOX: dwa"}));
    EXPECT_EQ(forwarded, h.reportLines());
}

TEST(ModelHostFaults, RulesRefuseChosenCallsWithChosenCodes) {
    model::ModelHost h;
    // A host that refuses geolocation records holding CRS texts.
    h.injectFault(model::HostOp::WriteGeoLocation, [](const model::HostCall& c) {
        return c.geoLocation && !c.geoLocation->crsName.empty() ? host::kHostBadPars : host::kHostOk;
    });
    host::GeoLocation withCrs;
    withCrs.crsName = "EPSG:2178";
    withCrs.surveyEasting = 7500000;
    EXPECT_EQ(h.writeGeoLocation(withCrs), host::kHostBadPars);
    EXPECT_FALSE(h.state().geoLocationSet);
    host::GeoLocation plain = withCrs;
    plain.crsName.clear();
    EXPECT_EQ(h.writeGeoLocation(plain), host::kHostOk);

    // The second polyline fails; texts are not affected by a rule on their type.
    h.injectFault(model::HostOp::CreateElement, model::ModelHost::failOnCall(2, host::kHostOutOfMemory));
    h.injectFault(model::HostOp::CreateElement, [](const model::HostCall& c) {
        return c.code == host::kElemMesh ? host::kHostNotSupported : host::kHostOk;
    });
    host::ElementId id;
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), host::kHostOk);
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), host::kHostOutOfMemory);
    EXPECT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), host::kHostOk);
    host::MeshElement mesh;
    mesh.outline = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    EXPECT_EQ(h.createMesh(mesh, id), host::kHostNotSupported);
    EXPECT_EQ(h.state().elements.size(), 2u);

    h.injectFault(model::HostOp::ListAttributes, model::ModelHost::failAlways(host::kHostGeneralError));
    std::vector<host::Attribute> layers;
    EXPECT_EQ(h.listAttributes(host::kAttrLayer, layers), host::kHostGeneralError);
    h.clearFaults();
    EXPECT_EQ(h.listAttributes(host::kAttrLayer, layers), host::kHostOk);
}

TEST(ModelHostThreads, CallsFromAnotherThreadAreRefusedAndCounted) {
    model::ModelHost h;
    host::ElementId id;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), host::kHostOk);
    host::HostError create = host::kHostOk;
    host::HostError read = host::kHostOk;
    host::HostError report = host::kHostOk;
    std::thread worker([&] {
        host::ElementId other;
        create = h.createPolyline(polyline(1, {{0, 0}, {2, 0}}), other);
        host::PolylineElement pl;
        read = h.getPolyline(id, pl);
        report = h.reportLine("z watku roboczego");
    });
    worker.join();
    EXPECT_EQ(create, host::kHostGeneralError);
    EXPECT_EQ(read, host::kHostGeneralError);
    EXPECT_EQ(report, host::kHostGeneralError);
    EXPECT_EQ(h.offThreadCalls(), 3);
    EXPECT_EQ(h.state().elements.size(), 1u);
    EXPECT_TRUE(h.reportLines().empty());

    // A host handed to another thread belongs to that thread.
    std::thread adopter([&] {
        h.adoptCurrentThread();
        create = h.createPolyline(polyline(1, {{0, 0}, {3, 0}}), id);
    });
    adopter.join();
    EXPECT_EQ(create, host::kHostOk);
}
