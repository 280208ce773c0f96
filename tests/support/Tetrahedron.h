// A closed tetrahedron built through a model host's body builder, for the host and export tests.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/ModelHost.h"

namespace testsupport {

// Corners: the origin, then one along each axis; faces point outwards. With a material, every face
// overrides the surface material with it.
inline host::MorphElement tetrahedron(model::ModelHost& h, const std::array<host::HostPoint3, 4>& corners,
                                      std::optional<std::int32_t> material = std::nullopt) {
    host::MorphElement m;
    EXPECT_EQ(h.defaultMorph(m), host::kHostOk);
    host::MorphBodyId body = 0;
    EXPECT_EQ(h.morphBodyNew(body), host::kHostOk);
    std::int32_t v[4];
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.morphBodyAddVertex(body, corners[i], v[i]), host::kHostOk);
    std::int32_t e01, e12, e20, e03, e13, e23;
    EXPECT_EQ(h.morphBodyAddEdge(body, v[0], v[1], e01), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[1], v[2], e12), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[2], v[0], e20), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[0], v[3], e03), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[1], v[3], e13), host::kHostOk);
    EXPECT_EQ(h.morphBodyAddEdge(body, v[2], v[3], e23), host::kHostOk);
    const std::vector<std::vector<std::int32_t>> faces = {
        {-e20, -e12, -e01}, {e01, e13, -e03}, {e12, e23, -e13}, {e20, e03, -e23}};
    for (const auto& f : faces) {
        host::MorphPolygon p;
        p.edges = f;
        p.hasMaterial = material.has_value();
        p.material = material.value_or(0);
        std::int32_t n = 0;
        EXPECT_EQ(h.morphBodyAddPolygon(body, p, n), host::kHostOk);
    }
    EXPECT_EQ(h.morphBodyFinish(body, m), host::kHostOk);
    EXPECT_EQ(h.morphBodyDispose(body), host::kHostOk);
    return m;
}

}  // namespace testsupport
