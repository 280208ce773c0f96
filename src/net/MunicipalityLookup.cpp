#include "net/MunicipalityLookup.h"

#include "formats/gml/GmlParser.h"
#include "net/ServiceRegistry.h"
#include "net/ServiceRegistryLayers.h"
#include "net/WfsClient.h"

namespace net {

namespace {

constexpr double kReuseDistanceSquared = 1e8;  // (10 km)^2

bool allDigits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Best municipality layer of a capabilities document: "granice" names beat other "gmin" names; names of
// defence-related layers never count. Empty when none qualifies.
std::string bestMunicipalityTypeName(const std::string& caps) {
    std::string best;
    int bestScore = 0;
    std::size_t at = 0;
    while ((at = caps.find("<Name>", at)) != std::string::npos) {
        const std::size_t start = at + 6;
        const std::size_t end = caps.find("</Name>", start);
        if (end == std::string::npos) break;
        const std::string name = caps.substr(start, end - start);
        const std::string lower = lowerName(name);
        int score = 0;
        if (lower.find("gmin") != std::string::npos && lower.find("obrony") == std::string::npos)
            score = lower.find("granice") != std::string::npos ? 2 : 1;
        if (score > bestScore) {
            best = name;
            bestScore = score;
        }
        at = end;
    }
    return best;
}

}  // namespace

std::string terytAtPoint(WfsClient& client, const std::string& typeName, double x, double y) {
    const std::string url = WfsClient::buildWfsUrl(nationalServiceUrl(NationalService::prgBoundaries), typeName,
                                                   geodesy::Bbox{x - 1, y - 1, x + 1, y + 1}, 5, 0, true, false, 0);
    const HttpResponse response = client.get(url);
    if (response.status != 200) return {};
    for (const gml::GisFeature& f : gml::GmlParser::parseFeatureCollection(response.body, formats::DataType::dzialki)) {
        for (const auto& [key, value] : f.props) {
            const std::string lower = lowerName(key);
            if (lower.find("teryt") == std::string::npos && lower.find("kod") == std::string::npos) continue;
            if ((value.size() == 6 || value.size() == 7) && allDigits(value)) return value.substr(0, 6);
        }
    }
    return {};
}

std::string findGminaTeryt(WfsClient& client, MunicipalityCache& cache, const geodesy::Bbox& frame) {
    const geodesy::PlanarPoint centre = frame.centre();
    if (!cache.code.empty()) {
        const double de = centre.x - cache.centreE;
        const double dn = centre.y - cache.centreN;
        if (de * de + dn * dn < kReuseDistanceSquared) return cache.code;
    }
    if (cache.typeName.empty()) cache.typeName = kDefaultMunicipalityTypeName;

    const auto remember = [&](const std::string& code) {
        cache.code = code;
        cache.centreE = centre.x;
        cache.centreN = centre.y;
        return code;
    };
    std::string code = terytAtPoint(client, cache.typeName, centre.x, centre.y);
    if (!code.empty()) return remember(code);

    if (!cache.capabilitiesChecked) {
        cache.capabilitiesChecked = true;
        const HttpResponse caps = client.get(std::string(nationalServiceUrl(NationalService::prgBoundaries)) +
                                             "?service=WFS&version=2.0.0&request=GetCapabilities");
        if (caps.status == 200) {
            const std::string best = bestMunicipalityTypeName(caps.body);
            if (!best.empty() && best != cache.typeName) {
                cache.typeName = best;
                code = terytAtPoint(client, cache.typeName, centre.x, centre.y);
                if (!code.empty()) return remember(code);
            }
        }
    }
    return {};
}

}  // namespace net
