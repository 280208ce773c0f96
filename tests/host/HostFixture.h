// A model host with one element of every kind, for the host tests.
#pragma once
#include <gtest/gtest.h>

#include "model/ModelHost.h"

namespace hosttest {

inline PolylineElement polyline(std::int32_t layer, std::vector<HostPoint2> pts) {
    PolylineElement p;
    p.layer = layer;
    p.points = std::move(pts);
    return p;
}

inline std::vector<HostPoint2> square(double x, double y, double side) {
    return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

// A closed tetrahedron built through the body builder.
inline MorphElement tetrahedron(ModelHost& h, std::int32_t material) {
    MorphElement m;
    EXPECT_EQ(h.defaultMorph(m), kHostOk);
    MorphBodyId body = 0;
    EXPECT_EQ(h.morphBodyNew(body), kHostOk);
    std::int32_t v[4];
    const HostPoint3 pts[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.morphBodyAddVertex(body, pts[i], v[i]), kHostOk);
    std::int32_t e01, e12, e20, e03, e13, e23;
    EXPECT_EQ(h.morphBodyAddEdge(body, v[0], v[1], e01), kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[1], v[2], e12), kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[2], v[0], e20), kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[0], v[3], e03), kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[1], v[3], e13), kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[2], v[3], e23), kHostOk);
    const std::vector<std::vector<std::int32_t>> faces = {
        {-e20, -e12, -e01}, {e01, e13, -e03}, {e12, e23, -e13}, {e20, e03, -e23}};
    for (const auto& f : faces) {
        MorphPolygon p;
        p.edges = f;
        p.hasMaterial = true;
        p.material = material;
        std::int32_t n = 0;
        EXPECT_EQ(h.morphBodyAddPolygon(body, p, n), kHostOk);
    }
    EXPECT_EQ(h.morphBodyFinish(body, m), kHostOk);
    EXPECT_EQ(h.morphBodyDispose(body), kHostOk);
    return m;
}

// Fills h with a new layer, a material, one element of each kind and a georeference.
inline void populate(ModelHost& h) {
    Attribute layer;
    layer.kind = kAttrLayer;
    layer.name = "GIS_DZIALKI";
    ASSERT_EQ(h.createAttribute(layer), kHostOk);
    Attribute material;
    material.kind = kAttrMaterial;
    material.name = "GIS Dach";
    material.colour = {0.1, 0.2, 0.3};
    ASSERT_EQ(h.createAttribute(material), kHostOk);

    ElementId id;
    PolylineElement pl = polyline(layer.index, {{0.1, 0.2}, {1e-300, -0.0}, {7654321.123456789, 5432109.987654321}});
    pl.pen = 10;
    pl.arcs = {{0, 1, 0.5}};
    ASSERT_EQ(h.createPolyline(pl, id), kHostOk);

    TextElement t;
    ASSERT_EQ(h.defaultText(t), kHostOk);
    t.layer = layer.index;
    t.content =
        "123/4 \xc5\x81\xc3\xb3"
        "dz";
    t.position = {5.5, 6.25};
    t.anchor = 4;
    t.size = 1.5;
    t.angle = 1.0 / 3.0;
    t.styleSetting1 = 1;
    t.styleSetting2 = 1;
    ASSERT_EQ(h.createText(t, id), kHostOk);

    FillElement f;
    ASSERT_EQ(h.defaultFill(f), kHostOk);
    f.layer = layer.index;
    f.contourPen = 6;
    f.fillType = 1;
    f.useOwnColour = true;
    f.ownColour = {140.0 / 255, 123.0 / 255, 107.0 / 255};
    f.contours = {square(0, 0, 10), square(2, 2, 1)};
    ASSERT_EQ(h.createFill(f, id), kHostOk);

    MeshElement mesh;
    ASSERT_EQ(h.defaultMesh(mesh), kHostOk);
    mesh.outline = {{0, 0, 1}, {10, 0, 2}, {10, 10, 3}, {0, 10, 4}, {0, 0, 1}};
    mesh.levelLines = {{{5, 5, 2.5}}, {{6, 6, 2.75}}};
    mesh.flagSetting = 0x30000;
    mesh.byteSetting = 2;
    mesh.wideSetting = -1234567890123LL;
    ASSERT_EQ(h.createMesh(mesh, id), kHostOk);

    SlabElement slab;
    ASSERT_EQ(h.defaultSlab(slab), kHostOk);
    slab.level = 101.25;
    slab.thickness = 9.5;
    slab.referenceCode = 3;
    slab.contours = {square(20, 20, 5)};
    ASSERT_EQ(h.createSlab(slab, id), kHostOk);
    ASSERT_EQ(h.setElementIdText(id, "PL.PZGiK.1234.BUD"), kHostOk);

    ASSERT_EQ(h.createMorph(tetrahedron(h, material.index), id), kHostOk);

    PictureElement pic;
    ASSERT_EQ(h.defaultPicture(pic), kHostOk);
    pic.boxMin = {100, 200};
    pic.boxMax = {164.5, 232.25};
    pic.angle = 0.01;
    for (int i = 0; i < 256; ++i) pic.bytes.push_back(static_cast<std::uint8_t>(i));
    pic.bytes.push_back(0);  // 257 bytes: the base64 text ends in padding
    ASSERT_EQ(h.createPicture(pic, id), kHostOk);
    ASSERT_EQ(h.setSelection({id}), kHostOk);

    GeoLocation g;
    g.crsName = "EPSG:2178";
    g.geodeticDatum = "ETRF2000 (PL-ETRF2000)";
    g.verticalDatum = "PL-EVRF2007-NH";
    g.mapProjection = "PL-2000";
    g.mapZone = "7";
    g.longitude = 21.0122287;
    g.latitude = 52.2296756;
    g.locationFlags = 60;
    g.surveyEasting = 7500123.456;
    g.surveyNorthing = 5789012.345;
    g.surveyHeight = 112.3;
    g.surveyExtra1 = 0.1;
    ASSERT_EQ(h.writeGeoLocation(g), kHostOk);
}

}  // namespace hosttest
