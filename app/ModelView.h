// The model as the workspace's 3D view draws it: terrain surfaces simplified to a budget, solids in the colours of
// their materials, drawings lying on the ground and the pictures to drape over the terrain. The arrays go to the
// page as one binary file; the page reads the description of its parts first.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "model/ModelState.h"

class ModelView {
public:
    // At most this many terrain triangles and line segments reach the page; denser terrain is simplified evenly.
    static constexpr std::size_t kMaxTerrainTriangles = 160000;
    static constexpr std::size_t kMaxLineSegments = 150000;

    // Writes "model-REVISION.bin" and the pictures into folder (removing older scene files) and returns the
    // description: "bin" (the file's name), "parts" (kind "terrain" | "solid" | "lines", colour, byte offsets
    // and counts of positions and indices), "pictures" (file, corners, angle), "origin" (the project point the
    // positions are relative to), "north" (the grid north as a project direction), "terrainTriangles" (before
    // and after simplification).
    static nlohmann::json write(const model::ModelState& state, const std::filesystem::path& folder,
                                std::uint64_t revision);
};
