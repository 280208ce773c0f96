#include "cloud_ui/CloudAccumulator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geodesy/Crs.h"

using formats::CloudPoint;

namespace cloudui {

namespace {

// Voxel indices must stay far inside the 64-bit range: converting a larger double is undefined.
constexpr double kMaxVoxelIndex = 4.0e18;

bool voxelIndex(double local, double spacing, std::int64_t& index) {
    const double v = std::floor(local / spacing);
    if (!(std::fabs(v) < kMaxVoxelIndex)) return false;
    index = static_cast<std::int64_t>(v);
    return true;
}

// The file stores single-precision floats: a value beyond their range would be written as infinity.
bool storable(double v) { return std::fabs(v) <= std::numeric_limits<float>::max(); }

}  // namespace

CloudAccumulator::CloudAccumulator(const geodesy::Bbox& frame1992, double spacing, int targetEpsg)
    : frame_(frame1992),
      spacing_(spacing),
      targetEpsg_(targetEpsg),
      affine_(geodesy::localAffinePl1992ToPl2000(frame1992, targetEpsg)) {
    const geodesy::PlanarPoint corners[] = {
        affine_.apply({frame_.minE, frame_.minN}), affine_.apply({frame_.maxE, frame_.minN}),
        affine_.apply({frame_.minE, frame_.maxN}), affine_.apply({frame_.maxE, frame_.maxN})};
    offE_ = corners[0].x;
    offN_ = corners[0].y;
    for (const geodesy::PlanarPoint& c : corners) {
        offE_ = std::min(offE_, c.x);
        offN_ = std::min(offN_, c.y);
    }
}

void CloudAccumulator::overrideOrigin(double easting, double northing, double height) {
    offE_ = easting;
    offN_ = northing;
    offZ_ = height;
}

bool CloudAccumulator::add(double x, double y, double z, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    // Written so that NaN coordinates fail the test and are dropped.
    if (!(x >= frame_.minE && x <= frame_.maxE && y >= frame_.minN && y <= frame_.maxN)) return false;
    const geodesy::PlanarPoint zone = affine_.apply({x, y});
    const double lx = zone.x - offE_;
    const double ly = zone.y - offN_;
    const double lz = z - offZ_;
    // A damaged sheet, a frame too large to map or a broken origin gives values no E57 reader can place.
    if (!storable(lx) || !storable(ly) || !storable(lz)) return false;
    if (spacing_ > 0.0) {
        std::int64_t i, j, k;
        if (!voxelIndex(lx, spacing_, i) || !voxelIndex(ly, spacing_, j) || !voxelIndex(lz, spacing_, k)) return false;
        if (!voxels_.insert(i, j, k)) return false;
    }
    if (count_ == 0) {
        bounds_ = {lx, lx, ly, ly, lz, lz};
    } else {
        bounds_.minX = std::min(bounds_.minX, lx);
        bounds_.maxX = std::max(bounds_.maxX, lx);
        bounds_.minY = std::min(bounds_.minY, ly);
        bounds_.maxY = std::max(bounds_.maxY, ly);
        bounds_.minZ = std::min(bounds_.minZ, lz);
        bounds_.maxZ = std::max(bounds_.maxZ, lz);
    }
    if (++count_ > limit_) throw HardLimitExceeded();
    points_.push_back(CloudPoint{lx, ly, lz, red, green, blue, 0});
    if (sink_ && points_.size() >= kBlockPoints) flush();
    return true;
}

void CloudAccumulator::setSink(CloudSink* sink) {
    flush();
    sink_ = sink;
    if (sink_) points_.reserve(kBlockPoints);
}

void CloudAccumulator::flush() {
    if (!sink_ || points_.empty()) return;
    sink_->take(points_.data(), points_.size());
    points_.clear();
}

}  // namespace cloudui
