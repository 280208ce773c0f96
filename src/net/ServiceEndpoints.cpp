#include "net/ServiceEndpoints.h"

#include <cctype>
#include <cstdlib>

#include "net/WfsClient.h"
#include "platform/Numbers.h"

namespace net {

namespace {
bool isDigits(const std::string& text, std::size_t count) {
    if (text.size() != count) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The routing base when it is a plain loopback http address ("http://127.0.0.1:PORT"), else empty.
std::string loopbackBase(std::string value) {
    while (!value.empty() && value.back() == '/') value.pop_back();
    for (const char* prefix : {"http://127.0.0.1:", "http://localhost:", "http://[::1]:"}) {
        const std::string p = prefix;
        if (value.rfind(p, 0) != 0) continue;
        const std::string port = value.substr(p.size());
        long long number = 0;
        if (port.empty() || port.size() > 5 || !isDigits(port, port.size()) || !platform::parseInt(port, number) ||
            number < 1 || number > 65535)
            return {};
        return value;
    }
    return {};
}
}  // namespace

std::string ServiceEndpoints::prgWfs() const {
    return geoportal + "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
}
std::string ServiceEndpoints::prgWms() const {
    return geoportal + "/wss/service/PZGIK/PRG/WMS/AdministrativeBoundaries";
}
std::string ServiceEndpoints::bdot10kNewBuildingsWfs() const {
    return geoportal + "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki";
}
std::string ServiceEndpoints::orthophotoWms() const {
    return geoportal + "/wss/service/PZGIK/ORTO/WMS/StandardResolution";
}
std::string ServiceEndpoints::nmtIndexWfs() const {
    return geoportal + "/wss/service/PZGIK/NumerycznyModelTerenuEVRF2007/WFS/Skorowidze";
}
std::string ServiceEndpoints::nmptIndexWfs() const {
    return geoportal + "/wss/service/PZGIK/NumerycznyModelPokryciaTerenuEVRF2007/WFS/Skorowidze";
}
std::string ServiceEndpoints::lidarIndexWfs() const {
    return geoportal + "/wss/service/PZGIK/DanePomiaroweLidarEVRF2007/WFS/Skorowidze";
}
std::string ServiceEndpoints::countyEgibOnGeoportal(const std::string& teryt4) const {
    return geoportal + "/wss/ext/PowiatoweBazyEwidencjiGruntow/" + teryt4;
}
std::string ServiceEndpoints::cadastreIntegrationWms() const {
    return integration + "/cgi-bin/KrajowaIntegracjaEwidencjiGruntow";
}
std::string ServiceEndpoints::utilityIntegrationWms() const {
    return integration + "/cgi-bin/KrajowaIntegracjaUzbrojeniaTerenu";
}
std::string ServiceEndpoints::localPlansCoverageWms() const {
    return geoportal + "/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego";
}
std::string ServiceEndpoints::generalPlansCoverageWms() const { return geoportal + "/wss/ext/PlanyOgolneGmin"; }
std::string ServiceEndpoints::planningApi() const { return planningRegister + "/api/public/published"; }
std::string ServiceEndpoints::planningQuery() const { return planningApi() + "/query"; }
std::string ServiceEndpoints::planningDownload(const std::string& actId) const {
    return planningApi() + "/" + actId + "/download";
}
std::string ServiceEndpoints::buildings3dLod1(int year, const std::string& teryt4) const {
    if (!isDigits(teryt4, 4)) return {};
    return openData + "/InneDane/Budynki3D/LOD1/" + platform::cformat("%d", year) + "/" + teryt4.substr(0, 2) + "/" +
           teryt4 + ".zip";
}
std::string ServiceEndpoints::buildings3dLod2(const std::string& teryt4) const {
    if (!isDigits(teryt4, 4)) return {};
    return openData + "/InneDane/Budynki3D/LOD2/" + teryt4 + "_gml.zip";
}
std::string ServiceEndpoints::overpassInterpreter() const { return overpass + "/api/interpreter"; }
std::string ServiceEndpoints::nominatimSearch() const { return nominatim + "/search"; }
std::string ServiceEndpoints::photonApi() const { return photon + "/api/"; }
std::string ServiceEndpoints::vectorStyle() const { return vectorTiles + "/styles/liberty"; }

const ServiceEndpoints& serviceEndpoints() {
    static const ServiceEndpoints endpoints;
    return endpoints;
}

bool routingEnabled() {
    const char* value = std::getenv(kServicesRoutingVariable);
    return value != nullptr && *value != '\0';
}

RoutedUrl routeUrl(const std::string& url) {
    RoutedUrl out;
    out.url = url;
    if (!routingEnabled()) return out;
    out.routed = true;
    const std::string base = loopbackBase(std::getenv(kServicesRoutingVariable));
    const auto schemeEnd = url.find("://");
    if (base.empty() || schemeEnd == std::string::npos) {
        // Never fall back to the public address: with routing on nothing may leave the machine.
        out.valid = false;
        return out;
    }
    std::string scheme = url.substr(0, schemeEnd);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") {
        out.valid = false;
        return out;
    }
    const auto hostStart = schemeEnd + 3;
    auto hostEnd = url.find_first_of("/?#", hostStart);
    if (hostEnd == std::string::npos) hostEnd = url.size();
    const std::string host = url.substr(hostStart, hostEnd - hostStart);
    if (host.empty()) {
        out.valid = false;
        return out;
    }
    std::string rest = url.substr(hostEnd);
    if (rest.empty() || rest[0] != '/') rest = "/" + rest;
    out.url = base + "/" + scheme + "/" + host + rest;
    const auto portColon = base.rfind(':');
    out.loopbackHost = base.substr(7, portColon - 7);  // between "http://" and ":PORT"
    return out;
}

void applyLocalPacing(WfsClient& client) {
    if (!routingEnabled()) return;
    const char* value = std::getenv("GEODRAFT_PACING_MS");
    long long ms = 0;
    if (value == nullptr || !platform::parseInt(value, ms) || ms < 0 || ms > 60000) return;
    client.options.hostIntervalMs = static_cast<int>(ms);
    client.options.retryDelayMs = static_cast<int>(ms);
}

}  // namespace net
