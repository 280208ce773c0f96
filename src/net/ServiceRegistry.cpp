#include "net/ServiceRegistry.h"

#include "net/ServiceEndpoints.h"

namespace net {

ServiceUrls lookupServiceTable(const ServiceRow* table, std::size_t rows, std::string_view teryt,
                               std::size_t keyLength) {
    if (teryt.size() < keyLength) return {};
    const std::string_view key = teryt.substr(0, keyLength);
    for (std::size_t i = 0; i < rows; ++i)
        if (key == table[i].key) return {table[i].wms, table[i].wfs};
    return {};
}

std::string findCountyEgibWfs(std::string_view teryt) {
    return lookupServiceTable(kCountyEgibServices, kCountyEgibServicesRows, teryt, 4).wfsUrl;
}

ServiceUrls findCountyBdot500(std::string_view teryt) {
    return lookupServiceTable(kCountyBdot500Services, kCountyBdot500ServicesRows, teryt, 4);
}

ServiceUrls findCountyGesut(std::string_view teryt) {
    return lookupServiceTable(kCountyGesutServices, kCountyGesutServicesRows, teryt, 4);
}

ServiceUrls findMunicipalPlanning(std::string_view teryt) {
    return lookupServiceTable(kMunicipalPlanningServices, kMunicipalPlanningServicesRows, teryt, 6);
}

std::string nationalServiceUrl(NationalService service) {
    const ServiceEndpoints& ep = serviceEndpoints();
    switch (service) {
        case NationalService::kieg: return ep.cadastreIntegrationWms();
        case NationalService::kiut: return ep.utilityIntegrationWms();
        case NationalService::kimpzp: return ep.localPlansCoverageWms();
        case NationalService::prgBoundaries: return ep.prgWfs();
        case NationalService::lidarIndex: return ep.lidarIndexWfs();
        case NationalService::countyEgibOnGeoportal: return ep.countyEgibOnGeoportal("");
        case NationalService::planningRegister: return ep.planningApi();
    }
    return {};
}

}  // namespace net
