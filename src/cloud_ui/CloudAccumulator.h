// Collects the points of one export: crops them to the frame, maps them into the target PL-2000 zone,
// shifts them to the local origin and thins them to one point per voxel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud_ui/HardLimitExceeded.h"
#include "cloud_ui/VoxelSet.h"
#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"
#include "geodesy/LocalAffine.h"

namespace cloudui {

class CloudAccumulator {
public:
    // frame1992: the crop frame in PL-1992 metres; spacing: voxel edge in metres (0 keeps every point);
    // targetEpsg: the PL-2000 zone of the output (std::invalid_argument outside 2176..2179).
    // The origin starts at the frame's corner in the zone (smallest mapped easting and northing, height 0).
    CloudAccumulator(const geodesy::Bbox& frame1992, double spacing, int targetEpsg);

    // Replaces the default origin (e.g. with the project's survey point).
    void overrideOrigin(double easting, double northing, double height);
    // Lowers the point limit (tests, callers with a smaller budget); the default is kCloudPointLimit.
    void setPointLimit(std::size_t limit) { limit_ = limit; }

    // Adds a PL-1992 point. Returns true when it was kept: inside the frame (edges included), with local
    // coordinates that are finite and within float range, in a voxel no earlier point reached. Throws HardLimitExceeded once more than the limit are kept.
    bool add(double x, double y, double z, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    const geodesy::Bbox& frame() const { return frame_; }
    double spacing() const { return spacing_; }
    int targetEpsg() const { return targetEpsg_; }
    const geodesy::LocalAffine& affine() const { return affine_; }
    double originE() const { return offE_; }
    double originN() const { return offN_; }
    double originZ() const { return offZ_; }
    std::size_t size() const { return points_.size(); }
    // The kept points in local coordinates (zone coordinates minus the origin), in the order they were added.
    const std::vector<formats::CloudPoint>& points() const { return points_; }

private:
    geodesy::Bbox frame_;
    double spacing_;
    int targetEpsg_;
    geodesy::LocalAffine affine_;
    double offE_ = 0.0, offN_ = 0.0, offZ_ = 0.0;
    std::size_t limit_ = kCloudPointLimit;
    VoxelSet voxels_;
    std::vector<formats::CloudPoint> points_;
};

}  // namespace cloudui
