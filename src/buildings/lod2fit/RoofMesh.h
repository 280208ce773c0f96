// A closed solid of a building: vertices and polygon faces given by vertex indices.
#pragma once
#include <cstdint>
#include <vector>

#include "geodesy/SpatialPoint.h"

namespace lod2fit {

struct RoofMesh {
    std::vector<geodesy::SpatialPoint> vertices;
    std::vector<std::vector<std::int32_t>> faces;

    // Index of a new vertex.
    std::int32_t add(double x, double y, double z) {
        vertices.push_back({x, y, z});
        return static_cast<std::int32_t>(vertices.size() - 1);
    }
    // Appends another mesh, renumbering its faces.
    void append(const RoofMesh& other) {
        const auto base = static_cast<std::int32_t>(vertices.size());
        vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
        for (std::vector<std::int32_t> face : other.faces) {
            for (std::int32_t& i : face) i += base;
            faces.push_back(std::move(face));
        }
    }
};

}  // namespace lod2fit
