// County services of the Polish scenario, at the addresses the service registry lists for their counties,
// each with a behaviour seen on real county servers.
#include <algorithm>
#include <cctype>
#include <memory>

#include "PolandScenario.h"
#include "WfsService.h"
#include "WmsService.h"
#include "net/ServiceRegistry.h"

namespace sim {

using namespace poland;

namespace {

bool equalsNoCase(const std::string& a, const char* b) {
    const std::string bs(b);
    return a.size() == bs.size() && std::equal(a.begin(), a.end(), bs.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string teryt6(const Place& place) { return std::string(place.teryt7).substr(0, 6); }

std::shared_ptr<FeatureStore> parcelStore(const Place& place, const std::string& parcelType,
                                          const std::string& buildingType, const std::string& precinct) {
    auto store = std::make_shared<FeatureStore>();
    addParcelBlock(*store, parcelType, buildingType, teryt6(place), precinct, centre1992(place), kBlockColumns,
                   kBlockRows);
    return store;
}

void addWfsAt(Scenario& scenario, const std::string& url, std::shared_ptr<WfsService> service) {
    scenario.addWfs(hostOf(url), pathOf(url), std::move(service));
}

// Answers with an empty collection: what a county server sends for a request form it does not understand.
void emptyCollection(SimResponse& response) {
    response.contentType = "application/gml+xml; version=3.2";
    response.body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wfs:FeatureCollection "
        "xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
        "xmlns:gml=\"http://www.opengis.net/gml/3.2\" numberMatched=\"0\" numberReturned=\"0\" "
        "timeStamp=\"2026-01-01T00:00:00Z\">\n</wfs:FeatureCollection>\n";
}

// Rewrites a feature answer into the shape of the geoportal2 county servers: their namespace, geometry in
// "ewns:geometria" as a MultiSurface or MultiCurve around the single member.
std::string geoportal2Shape(const std::string& body) {
    std::string out;
    out.reserve(body.size() + body.size() / 4);
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = body.find("<ewns:geom>", at);
        if (open == std::string::npos) break;
        const std::size_t close = body.find("</ewns:geom>", open);
        if (close == std::string::npos) break;
        const std::string inner = body.substr(open + 11, close - open - 11);
        out += body.substr(at, open - at);
        if (inner.rfind("<gml:Polygon", 0) == 0)
            out += "<ewns:geometria><gml:MultiSurface srsDimension=\"2\"><gml:surfaceMember>" + inner +
                   "</gml:surfaceMember></gml:MultiSurface></ewns:geometria>";
        else if (inner.rfind("<gml:LineString", 0) == 0)
            out += "<ewns:geometria><gml:MultiCurve srsDimension=\"2\"><gml:curveMember>" + inner +
                   "</gml:curveMember></gml:MultiCurve></ewns:geometria>";
        else out += "<ewns:geometria>" + inner + "</ewns:geometria>";
        at = close + 12;
    }
    out += body.substr(at);
    const std::string simNamespace = "\"http://geodraft.sim/ewns\"";
    const std::size_t ns = out.find(simNamespace);
    if (ns != std::string::npos) out.replace(ns, simNamespace.size(), "\"http://xsd.geoportal2.pl/ewns\"");
    return out;
}

void addWarszawa(Scenario& scenario) {
    const std::string url = net::findCountyEgibWfs(kWarszawa.teryt7);
    auto service = std::make_shared<WfsService>(parcelStore(kWarszawa, "egib:dzialki", "egib:budynki", "0105"),
                                                BboxAxisOrder::NorthingFirst);
    service->title = "EGiB m.st. Warszawy (symulator)";
    addWfsAt(scenario, url, service);
}

void addZamosc(Scenario& scenario) {
    auto egib = std::make_shared<WfsService>(parcelStore(kZamosc, "ewns:dzialki", "ewns:budynki", "0007"),
                                             BboxAxisOrder::EastingFirst);
    const std::string egibUrl = net::findCountyEgibWfs(kZamosc.teryt7);
    scenario.addHandler(hostOf(egibUrl), pathOf(egibUrl), geoportal2Wfs(egib));

    auto pipes = std::make_shared<FeatureStore>();
    const geodesy::PlanarPoint c = centre1992(kZamosc);
    addPipes(*pipes, "ewns:przewod_wodociagowy", c, 3.0, "PE");
    addPipes(*pipes, "ewns:przewod_kanalizacyjny", c, 0.0, "PVC");
    addPipes(*pipes, "ewns:przewod_gazowy", c, -3.0, "stal");
    pipes->add("ewns:urzadzenia_techniczne", {"urzadzenia.1", {}, {}, {{c.x + 10, c.y + 10}}, {{"RODZAJ", "hydrant"}}});
    const net::ServiceUrls gesut = net::findCountyGesut(kZamosc.teryt7);
    scenario.addHandler(hostOf(gesut.wfsUrl), pathOf(gesut.wfsUrl), geoportal2Wfs(std::make_shared<WfsService>(pipes)));
    auto gesutWms = std::make_shared<WmsService>();
    gesutWms->addLayer({"gesut_przewody", "Przewody", 0x0050FFFF, pipes, "ewns:przewod_wodociagowy"});
    gesutWms->addLayer({"strefa_ochronna", "Strefy ochronne", 0x80808080, nullptr, ""});
    gesutWms->addLayer({"obreby", "Obreby", 0x000000FF, nullptr, ""});
    scenario.addWms(hostOf(gesut.wmsUrl), pathOf(gesut.wmsUrl), gesutWms);

    const net::ServiceUrls bdot500 = net::findCountyBdot500(kZamosc.teryt7);
    auto bdotWms = std::make_shared<WmsService>();
    bdotWms->addLayer({"bdot500_budowle", "Budowle", 0x606060FF, nullptr, ""});
    bdotWms->addLayer({"bdot500_komunikacja", "Komunikacja", 0xA0A0A0FF, nullptr, ""});
    bdotWms->addLayer({"obreby", "Obreby", 0x000000FF, nullptr, ""});
    scenario.addWms(hostOf(bdot500.wmsUrl), pathOf(bdot500.wmsUrl), bdotWms);
}

void addZary(Scenario& scenario) {
    // The register answers only requests made in a PL-2000 zone with SRSNAME; other forms get an empty answer.
    auto egib = std::make_shared<WfsService>(parcelStore(kZary, "ewns:dzialki", "ewns:budynki", "0003"));
    const std::string url = net::findCountyEgibWfs(kZary.teryt7);
    const SimHandler shaped = geoportal2Wfs(egib);
    scenario.addHandler(hostOf(url), pathOf(url), [shaped](const SimRequest& request, SimResponse& response) {
        if (equalsNoCase(request.param("request"), "GetFeature")) {
            const int system = epsgOfSystemText(request.param("srsname"));
            if (system < 2176 || system > 2179) {
                emptyCollection(response);
                return true;
            }
        }
        return shaped(request, response);
    });

    // Utility WFS that publishes objects and devices but no pipe layer; the WMS draws the networks.
    auto objects = std::make_shared<FeatureStore>();
    const geodesy::PlanarPoint c = centre1992(kZary);
    objects->add("ewns:obiekty_sieci", {"obiekty.1", {}, {}, {{c.x, c.y}}, {{"RODZAJ", "studnia"}}});
    objects->add("ewns:urzadzenia", {"urzadzenia.1", {}, {}, {{c.x + 20, c.y}}, {{"RODZAJ", "zasuwa"}}});
    const net::ServiceUrls gesut = net::findCountyGesut(kZary.teryt7);
    addWfsAt(scenario, gesut.wfsUrl, std::make_shared<WfsService>(objects));
    auto pipes = std::make_shared<FeatureStore>();
    addPipes(*pipes, "gesut:siec", c, 0.0, "PE");
    auto gesutWms = std::make_shared<WmsService>();
    gesutWms->addLayer({"siec_wodociagowa", "Siec wodociagowa", 0x0050FFFF, pipes, "gesut:siec"});
    gesutWms->addLayer({"siec_gazowa", "Siec gazowa", 0xE0C000FF, nullptr, ""});
    gesutWms->addLayer({"dzialki", "Dzialki", 0x000000FF, nullptr, ""});
    scenario.addWms(hostOf(gesut.wmsUrl), pathOf(gesut.wmsUrl), gesutWms);

    const net::ServiceUrls bdot500 = net::findCountyBdot500(kZary.teryt7);
    auto bdotWms = std::make_shared<WmsService>();
    bdotWms->addLayer({"bdot500_ogrodzenia", "Ogrodzenia", 0x606060FF, nullptr, ""});
    bdotWms->addLayer({"bdot500_sytuacja", "Sytuacja", 0xA0A0A0FF, nullptr, ""});
    scenario.addWms(hostOf(bdot500.wmsUrl), pathOf(bdot500.wmsUrl), bdotWms);
}

void addZabrze(Scenario& scenario) {
    // Parcels on the block; the buildings lie 4 km away and come back whatever box is asked for.
    auto store = parcelStore(kZabrze, "ms:dzialki", "", "0021");
    geodesy::PlanarPoint away = centre1992(kZabrze);
    away.x += 4000;
    addParcelBlock(*store, "", "ms:budynki", "247801", "0044", away, 3, 2);
    auto egib = std::make_shared<WfsService>(store);
    const std::string url = net::findCountyEgibWfs(kZabrze.teryt7);
    scenario.addHandler(hostOf(url), pathOf(url), [egib](const SimRequest& request, SimResponse& response) {
        const std::string type = request.param("typenames") + request.param("typename");
        if (equalsNoCase(request.param("request"), "GetFeature") && type.find("budynki") != std::string::npos) {
            SimRequest unfiltered = request;
            std::erase_if(unfiltered.params, [](const auto& p) { return equalsNoCase(p.first, "bbox"); });
            return egib->handle(unfiltered, response);
        }
        return egib->handle(request, response);
    });
}

void addWroclaw(Scenario& scenario) {
    const std::string url = net::findCountyEgibWfs(kWroclaw.teryt7);
    scenario.addHandler(hostOf(url), pathOf(url), [](const SimRequest&, SimResponse& response) {
        response.status = 503;
        response.contentType = "text/html";
        response.body = "<html><body><h1>503 Service Unavailable</h1></body></html>";
        return true;
    });
}

}  // namespace

SimHandler poland::geoportal2Wfs(std::shared_ptr<WfsService> service) {
    return [service](const SimRequest& request, SimResponse& response) {
        const bool handled = service->handle(request, response);
        if (handled && equalsNoCase(request.param("request"), "GetFeature"))
            response.body = geoportal2Shape(response.body);
        return handled;
    };
}

void addPolandCountyServices(Scenario& scenario) {
    addWarszawa(scenario);
    addZamosc(scenario);
    addZary(scenario);
    addZabrze(scenario);
    addWroclaw(scenario);
}

}  // namespace sim
