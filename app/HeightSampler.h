// Heights of the terrain surfaces under a point, so that drawings lie on the ground in the 3D view.
#pragma once
#include <cstddef>
#include <vector>

#include "exporter/MeshSurface.h"

class HeightSampler {
public:
    // Adds the triangles of one surface (project metres).
    void add(const exporter::MeshSurface& surface);
    // Finishes the index; call once after the last add.
    void build();
    // The height of the highest surface under (x, y); false where no surface lies.
    bool heightAt(double x, double y, double& z) const;
    bool empty() const { return triangles_.empty(); }
    // The length of a typical triangle edge (how finely lines must follow the surface).
    double typicalEdge() const { return typicalEdge_; }

private:
    struct Triangle {
        host::HostPoint3 a, b, c;
    };
    std::vector<Triangle> triangles_;
    std::vector<std::vector<std::size_t>> cells_;  // triangles by grid cell
    double minX_ = 0, minY_ = 0, cell_ = 1;
    std::size_t columns_ = 0, rows_ = 0;
    double typicalEdge_ = 1;
};
