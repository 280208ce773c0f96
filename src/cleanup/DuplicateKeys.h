// Records of the polylines and texts examined for duplicates, and the keys that group them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Host.h"

namespace cleanup {

// One polyline as duplicate removal sees it.
struct PolylineRecord {
    std::size_t index = 0;  // position in the polyline identifier list
    std::int32_t layer = 0;
    std::int32_t story = 0;
    bool closed = false;
    std::vector<host::HostPoint2> points;
    std::vector<host::PolylineArc> arcs;  // 0-based point positions
};

// One text as duplicate removal sees it.
struct TextRecord {
    std::size_t index = 0;  // position in the text identifier list
    std::int32_t layer = 0;
    std::int32_t story = 0;
    host::HostPoint2 position;  // the anchor point
    std::string content;        // UTF-8
};

// A straight or curved piece of a polyline between two consecutive points.
struct DuplicateSegment {
    host::HostPoint2 start;
    host::HostPoint2 end;
    double angle = 0.0;  // arc angle in radians, 0 when straight
};

// v rounded to the millimetre and printed as "%.17g|" (a rounded zero prints as "0|").
std::string roundedKeyNumber(double v);
// True when the points form a ring: more than two of them and the last equals the first exactly.
bool isClosedPolyline(const std::vector<host::HostPoint2>& points);
// The segments from point i to i + 1, each with the angle of the first arc on it.
std::vector<DuplicateSegment> polylineSegments(const PolylineRecord& polyline);
// Key shared by polylines of the same geometry whatever their start point and direction.
std::string polylineKey(const PolylineRecord& polyline);
// Key shared by texts at the same rounded position with the same content.
std::string textKey(const TextRecord& text);

}  // namespace cleanup
