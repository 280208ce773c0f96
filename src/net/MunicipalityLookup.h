// The municipality (gmina) TERYT code of an import frame, from the national administrative-boundaries WFS.
#pragma once
#include <string>

#include "geodesy/Bbox.h"

namespace net {

class WfsClient;

// What the import controller remembers between fetches, so nearby frames need no new query.
struct MunicipalityCache {
    std::string code;      // last 6-digit code found ("" = none yet)
    double centreE = 0.0;  // PL-1992 frame centre it was found for
    double centreN = 0.0;
    std::string typeName;              // municipality type name in use ("" until first use)
    bool capabilitiesChecked = false;  // the service's capabilities were already examined
};

// 6-digit municipality code of the frame centre, or "" when the service gives none. Reuses the cached code
// for centres closer than 10 km; otherwise asks the service (and once per cache its capabilities, when
// the type name in use finds nothing).
std::string findGminaTeryt(WfsClient& client, MunicipalityCache& cache, const geodesy::Bbox& frame);
// The 6-digit code at one PL-1992 point with the given type name, or "".
std::string terytAtPoint(WfsClient& client, const std::string& typeName, double x, double y);

}  // namespace net
