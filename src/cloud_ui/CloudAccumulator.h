// Collects the points of one export: crops them to the frame, maps them into the target PL-2000 zone,
// shifts them to the local origin and thins them to one point per voxel. Kept points go on to a sink in blocks,
// so an export holds the voxel set and one block, never the whole cloud.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cloud_ui/CloudSink.h"
#include "cloud_ui/HardLimitExceeded.h"
#include "cloud_ui/VoxelSet.h"
#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"
#include "geodesy/LocalAffine.h"

namespace cloudui {

class CloudAccumulator {
public:
    // Points handed to the sink at a time (0.5 MB).
    static constexpr std::size_t kBlockPoints = 16384;

    // Local bounds of the kept points (all zero while none is kept).
    struct Bounds {
        double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0, minZ = 0.0, maxZ = 0.0;
    };

    // frame1992: the crop frame in PL-1992 metres; spacing: voxel edge in metres (0 keeps every point);
    // targetEpsg: the PL-2000 zone of the output (std::invalid_argument outside 2176..2179).
    // The origin starts at the frame's corner in the zone (smallest mapped easting and northing, height 0).
    CloudAccumulator(const geodesy::Bbox& frame1992, double spacing, int targetEpsg);

    // Replaces the default origin (e.g. with the project's survey point).
    void overrideOrigin(double easting, double northing, double height);
    // Lowers the point limit (tests, callers with a smaller budget); the default is kCloudPointLimit.
    void setPointLimit(std::size_t limit) { limit_ = limit; }
    // Kept points go to `sink` (not owned; null keeps them all here) whenever a block is full, and on flush().
    void setSink(CloudSink* sink);
    // Hands the points still held to the sink.
    void flush();

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
    // Points kept so far, also those already handed to the sink.
    std::size_t size() const { return count_; }
    const Bounds& bounds() const { return bounds_; }
    // The kept points not yet handed to a sink (every kept point without one), in local coordinates (zone
    // coordinates minus the origin), in the order they were added.
    const std::vector<formats::CloudPoint>& points() const { return points_; }

private:
    geodesy::Bbox frame_;
    double spacing_;
    int targetEpsg_;
    geodesy::LocalAffine affine_;
    double offE_ = 0.0, offN_ = 0.0, offZ_ = 0.0;
    std::size_t limit_ = kCloudPointLimit;
    VoxelSet voxels_;
    std::size_t count_ = 0;
    Bounds bounds_;
    CloudSink* sink_ = nullptr;
    std::vector<formats::CloudPoint> points_;
};

}  // namespace cloudui
