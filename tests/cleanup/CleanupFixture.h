// A model host with a drawing in which every polyline and text appears twice.
#pragma once
#include <gtest/gtest.h>

#include "model/ModelHost.h"

namespace cleanuptest {

inline std::int32_t addLayer(model::ModelHost& h, const std::string& name) {
    host::Attribute layer{.kind = host::kAttrLayer, .name = name};
    EXPECT_EQ(h.createAttribute(layer), host::kHostOk);
    return layer.index;
}

inline host::ElementId addPolyline(model::ModelHost& h, std::int32_t layer, std::vector<host::HostPoint2> pts,
                                   std::vector<host::PolylineArc> arcs = {}) {
    host::PolylineElement p;
    EXPECT_EQ(h.defaultPolyline(p), host::kHostOk);
    p.layer = layer;
    p.points = std::move(pts);
    p.arcs = std::move(arcs);
    host::ElementId id;
    EXPECT_EQ(h.createPolyline(p, id), host::kHostOk);
    return id;
}

inline host::ElementId addText(model::ModelHost& h, std::int32_t layer, host::HostPoint2 at, const std::string& content,
                               double size = 1.5) {
    host::TextElement t;
    EXPECT_EQ(h.defaultText(t), host::kHostOk);
    t.layer = layer;
    t.position = at;
    t.content = content;
    t.size = size;
    host::ElementId id;
    EXPECT_EQ(h.createText(t, id), host::kHostOk);
    return id;
}

inline host::ElementId addFill(model::ModelHost& h, std::int32_t layer, double x) {
    host::FillElement f;
    EXPECT_EQ(h.defaultFill(f), host::kHostOk);
    f.layer = layer;
    f.contours = {{{x, 0}, {x + 4, 0}, {x + 4, 3}, {x, 3}, {x, 0}}};
    host::ElementId id;
    EXPECT_EQ(h.createFill(f, id), host::kHostOk);
    return id;
}

inline host::ElementId addPicture(model::ModelHost& h, std::int32_t layer, double x) {
    host::PictureElement p;
    EXPECT_EQ(h.defaultPicture(p), host::kHostOk);
    p.layer = layer;
    p.boxMin = {x, 10};
    p.boxMax = {x + 8, 16};
    p.bytes = {0x89, 0x50, 0x4E, 0x47};  // cleanup never looks inside
    host::ElementId id;
    EXPECT_EQ(h.createPicture(p, id), host::kHostOk);
    return id;
}

// Counts of each kind in the model.
inline std::size_t countOf(const model::ModelHost& h, std::int32_t type) {
    std::size_t n = 0;
    for (const auto& el : h.state().elements) n += el.header.type == type ? 1 : 0;
    return n;
}

// Two copies of everything: 3 polylines (one with an arc, one a ring drawn twice from different
// vertices), 2 texts, a fill and a picture.
struct DoubledDrawing {
    std::int32_t layer = 0;
    std::vector<host::ElementId> firsts;   // the copies met first: these must survive
    std::vector<host::ElementId> seconds;  // the duplicates
};

inline DoubledDrawing doubledDrawing(model::ModelHost& h) {
    DoubledDrawing d;
    d.layer = addLayer(h, "GIS_DZIALKI");
    for (int copy = 0; copy < 2; ++copy) {
        auto& ids = copy == 0 ? d.firsts : d.seconds;
        ids.push_back(addPolyline(h, d.layer, {{0, 0}, {10, 0}, {10, 5}}));
        ids.push_back(addPolyline(h, d.layer, {{0, 0}, {10, 0}}, {{0, 1, 0.7}}));
        if (copy == 0) ids.push_back(addPolyline(h, d.layer, {{0, 0}, {4, 0}, {4, 4}, {0, 0}}));
        else ids.push_back(addPolyline(h, d.layer, {{4, 4}, {4, 0}, {0, 0}, {4, 4}}));
        ids.push_back(addText(h, d.layer, {5, 5}, "123/4", copy == 0 ? 1.5 : 3.0));
        ids.push_back(addText(h, d.layer, {7, 5}, "Zażółć"));
        addFill(h, d.layer, 20);
        addPicture(h, d.layer, 40);
    }
    return d;
}

}  // namespace cleanuptest
