// Records of the polylines and texts examined for duplicates, and the tolerance that makes two of them one.
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

// Coordinates (metres) and arc angles (radians) that differ by less than this are the same: half a millimetre,
// compared value against value, so that two values never part for lying on either side of a rounding step.
inline constexpr double kDuplicateTolerance = 0.0005;

// True when the points form a ring: more than two of them and the last equals the first exactly.
bool isClosedPolyline(const std::vector<host::HostPoint2>& points);
// The segments from point i to i + 1, each with the angle of the first arc on it.
std::vector<DuplicateSegment> polylineSegments(const PolylineRecord& polyline);
// True when both draw the same geometry within the tolerance: a ring from any vertex either way, an open
// polyline from either end, arcs included; open and closed never match.
bool samePolyline(const PolylineRecord& a, const PolylineRecord& b);
// True when both have the same content at the same position within the tolerance.
bool sameText(const TextRecord& a, const TextRecord& b);
// Positions (`index`) of the records that repeat an earlier record on the same story and layer, in reading
// order: of every group of duplicates the first stays. Records with coordinates that are no numbers stay.
std::vector<std::size_t> laterDuplicatePolylines(const std::vector<PolylineRecord>& records);
std::vector<std::size_t> laterDuplicateTexts(const std::vector<TextRecord>& records);

}  // namespace cleanup
