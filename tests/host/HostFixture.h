// A model host with one element of every kind, for the host tests.
#pragma once
#include <gtest/gtest.h>

#include "model/ModelHost.h"
#include "support/Tetrahedron.h"

namespace hosttest {

inline host::PolylineElement polyline(std::int32_t layer, std::vector<host::HostPoint2> pts) {
    host::PolylineElement p;
    p.layer = layer;
    p.points = std::move(pts);
    return p;
}

inline std::vector<host::HostPoint2> square(double x, double y, double side) {
    return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

// The unit tetrahedron with every face in the material.
inline host::MorphElement tetrahedron(model::ModelHost& h, std::int32_t material) {
    return testsupport::tetrahedron(h, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, material);
}

// Fills h with a new layer, a material, one element of each kind and a georeference.
inline void populate(model::ModelHost& h) {
    host::Attribute layer{.kind = host::kAttrLayer, .name = "GIS_DZIALKI"};
    ASSERT_EQ(h.createAttribute(layer), host::kHostOk);
    host::Attribute material{.kind = host::kAttrMaterial, .name = "GIS Dach", .colour = {0.1, 0.2, 0.3}};
    ASSERT_EQ(h.createAttribute(material), host::kHostOk);

    host::ElementId id;
    host::PolylineElement pl =
        polyline(layer.index, {{0.1, 0.2}, {1e-300, -0.0}, {7654321.123456789, 5432109.987654321}});
    pl.pen = 10;
    pl.arcs = {{0, 1, 0.5}};
    ASSERT_EQ(h.createPolyline(pl, id), host::kHostOk);

    host::TextElement t;
    ASSERT_EQ(h.defaultText(t), host::kHostOk);
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
    ASSERT_EQ(h.createText(t, id), host::kHostOk);

    host::FillElement f;
    ASSERT_EQ(h.defaultFill(f), host::kHostOk);
    f.layer = layer.index;
    f.contourPen = 6;
    f.fillType = 1;
    f.useOwnColour = true;
    f.ownColour = {140.0 / 255, 123.0 / 255, 107.0 / 255};
    f.contours = {square(0, 0, 10), square(2, 2, 1)};
    ASSERT_EQ(h.createFill(f, id), host::kHostOk);

    host::MeshElement mesh;
    ASSERT_EQ(h.defaultMesh(mesh), host::kHostOk);
    mesh.outline = {{0, 0, 1}, {10, 0, 2}, {10, 10, 3}, {0, 10, 4}, {0, 0, 1}};
    mesh.levelLines = {{{5, 5, 2.5}}, {{6, 6, 2.75}}};
    mesh.flagSetting = 0x30000;
    mesh.byteSetting = 2;
    mesh.wideSetting = -1234567890123LL;
    ASSERT_EQ(h.createMesh(mesh, id), host::kHostOk);

    host::SlabElement slab;
    ASSERT_EQ(h.defaultSlab(slab), host::kHostOk);
    slab.level = 101.25;
    slab.thickness = 9.5;
    slab.referenceCode = 3;
    slab.contours = {square(20, 20, 5)};
    ASSERT_EQ(h.createSlab(slab, id), host::kHostOk);
    ASSERT_EQ(h.setElementIdText(id, "PL.PZGiK.1234.BUD"), host::kHostOk);

    ASSERT_EQ(h.createMorph(tetrahedron(h, material.index), id), host::kHostOk);

    host::PictureElement pic;
    ASSERT_EQ(h.defaultPicture(pic), host::kHostOk);
    pic.boxMin = {100, 200};
    pic.boxMax = {164.5, 232.25};
    pic.angle = 0.01;
    for (int i = 0; i < 256; ++i) pic.bytes.push_back(static_cast<std::uint8_t>(i));
    pic.bytes.push_back(0);  // 257 bytes: the base64 text ends in padding
    ASSERT_EQ(h.createPicture(pic, id), host::kHostOk);
    ASSERT_EQ(h.setSelection({id}), host::kHostOk);

    const host::GeoLocation g{.crsName = "EPSG:2178",
                              .geodeticDatum = "ETRF2000 (PL-ETRF2000)",
                              .verticalDatum = "PL-EVRF2007-NH",
                              .mapProjection = "PL-2000",
                              .mapZone = "7",
                              .longitude = 21.0122287,
                              .latitude = 52.2296756,
                              .locationFlags = 60,
                              .surveyEasting = 7500123.456,
                              .surveyNorthing = 5789012.345,
                              .surveyHeight = 112.3,
                              .surveyExtra1 = 0.1};
    ASSERT_EQ(h.writeGeoLocation(g), host::kHostOk);
}

}  // namespace hosttest
