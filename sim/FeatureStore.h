// Features a simulated WFS serves, held in PL-1992 metres and grouped by type name.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "geodesy/Bbox.h"
#include "geodesy/PlanarPoint.h"

namespace sim {

struct SimFeature {
    std::string id;                                          // gml:id
    std::vector<std::vector<geodesy::PlanarPoint>> rings;    // polygon: exterior first, then holes (PL-1992)
    std::vector<geodesy::PlanarPoint> line;                  // a line string (PL-1992)
    std::vector<geodesy::PlanarPoint> points;                // single points (PL-1992)
    std::vector<std::pair<std::string, std::string>> props;  // simple properties in order

    geodesy::Bbox envelope() const;
};

class FeatureStore {
public:
    void add(const std::string& typeName, SimFeature feature);
    std::vector<std::string> typeNames() const;
    bool hasType(const std::string& typeName) const;
    // Features of a type whose geometry meets the box (all of them when `box` is null).
    std::vector<const SimFeature*> query(const std::string& typeName, const geodesy::Bbox* box) const;

private:
    std::map<std::string, std::vector<SimFeature>> layers_;
};

// Whether a feature's geometry meets the box (edges, vertices and containment, not just envelopes).
bool featureMeetsBox(const SimFeature& feature, const geodesy::Bbox& box);

}  // namespace sim
