#include "WfsService.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "geodesy/Crs.h"
#include "platform/Numbers.h"

namespace sim {

namespace {
bool isSupportedSystem(int code) { return code == 2180 || (code >= 2176 && code <= 2179) || code == 4326; }

std::vector<std::string> splitComma(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (;;) {
        const auto end = text.find(',', pos);
        out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

// A point in the given system to PL-1992; `a`,`b` are easting/northing (or latitude/longitude for 4326).
geodesy::PlanarPoint toPl1992(int code, double a, double b) {
    if (code >= 2176 && code <= 2179) return geodesy::pl2000ToPl1992(a, b, code);
    if (code == 4326) return geodesy::wgs84ToPl1992(a, b);
    return {a, b};
}

// PL-1992 to the output system, as the two numbers written (northing/latitude first).
std::pair<double, double> fromPl1992Written(int code, const geodesy::PlanarPoint& p) {
    if (code >= 2176 && code <= 2179) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(p, code);
        return {z.y, z.x};
    }
    if (code == 4326) {
        const geodesy::LatLon g = geodesy::pl1992ToWgs84(p);
        return {g.lat, g.lon};
    }
    return {p.y, p.x};
}

std::string localName(const std::string& name) {
    const auto colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string prefixOf(const std::string& name) {
    const auto colon = name.find(':');
    return colon == std::string::npos ? std::string("ms") : name.substr(0, colon);
}

void exceptionAnswer(SimResponse& response, int status, const std::string& code, const std::string& locator,
                     const std::string& text) {
    response.status = status;
    response.contentType = "application/xml";
    response.body = owsExceptionReport(code, locator, text);
}

std::string positions(int code, const std::vector<geodesy::PlanarPoint>& points, bool closeRing) {
    std::string out;
    const char* format = code == 4326 ? "%.9f %.9f" : "%.3f %.3f";
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [first, second] = fromPl1992Written(code, points[i]);
        if (i > 0) out += ' ';
        out += platform::cformat(format, first, second);
    }
    if (closeRing && !points.empty() && !(points.front() == points.back())) {
        const auto [first, second] = fromPl1992Written(code, points.front());
        out += ' ' + platform::cformat(format, first, second);
    }
    return out;
}

// The request again from `start` on, as a server writes its next link (MapServer names http whatever was asked).
std::string nextPageUrl(const SimRequest& request, PagingStyle style, long long start) {
    std::string query;
    for (std::size_t at = 0; at <= request.query.size();) {
        std::size_t end = request.query.find('&', at);
        if (end == std::string::npos) end = request.query.size();
        const std::string pair = request.query.substr(at, end - at);
        const std::string key = pair.substr(0, pair.find('='));
        if (!pair.empty() && !equalsNoCase(key, "startindex")) query += (query.empty() ? "" : "&") + pair;
        at = end + 1;
    }
    query += "&STARTINDEX=" + platform::cformat("%lld", start);
    const std::string scheme = style == PagingStyle::MapServer ? "http" : request.scheme;
    return scheme + "://" + request.host + request.path + "?" + query;
}

std::string geometryXml(const SimFeature& f, int code, bool gml32, const std::string& idBase) {
    const std::string srs = "urn:ogc:def:crs:EPSG::" + platform::cformat("%d", code);
    const std::string idAttr = gml32 ? " gml:id=\"" + xmlEscape(idBase) + ".g\"" : "";
    std::string xml;
    if (!f.rings.empty()) {
        xml += "<gml:Polygon" + idAttr + " srsName=\"" + srs + "\">";
        for (std::size_t i = 0; i < f.rings.size(); ++i) {
            const char* wrapper = i == 0 ? "exterior" : "interior";
            xml += std::string("<gml:") + wrapper + "><gml:LinearRing><gml:posList srsDimension=\"2\">" +
                   positions(code, f.rings[i], true) + "</gml:posList></gml:LinearRing></gml:" + wrapper + ">";
        }
        xml += "</gml:Polygon>";
    } else if (!f.line.empty()) {
        xml += "<gml:LineString" + idAttr + " srsName=\"" + srs + "\"><gml:posList srsDimension=\"2\">" +
               positions(code, f.line, false) + "</gml:posList></gml:LineString>";
    } else if (!f.points.empty()) {
        xml += "<gml:Point" + idAttr + " srsName=\"" + srs + "\"><gml:pos>" + positions(code, {f.points[0]}, false) +
               "</gml:pos></gml:Point>";
    }
    return xml;
}
}  // namespace

std::string xmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string owsExceptionReport(const std::string& code, const std::string& locator, const std::string& text) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ows:ExceptionReport xmlns:ows=\"http://www.opengis.net/ows/1.1\" version=\"2.0.0\">\n"
           "  <ows:Exception exceptionCode=\"" +
           xmlEscape(code) + "\" locator=\"" + xmlEscape(locator) + "\">\n    <ows:ExceptionText>" + xmlEscape(text) +
           "</ows:ExceptionText>\n  </ows:Exception>\n</ows:ExceptionReport>\n";
}

int epsgOfSystemText(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && !std::isdigit(static_cast<unsigned char>(text[end - 1]))) --end;
    std::size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
    long long code = 0;
    if (start == end || end - start > 6 || !platform::parseInt(std::string_view(text).substr(start, end - start), code))
        return 0;
    return static_cast<int>(code);
}

WfsService::WfsService(std::shared_ptr<FeatureStore> store, BboxAxisOrder order)
    : store_(std::move(store)), order_(order) {}

bool WfsService::handle(const SimRequest& request, SimResponse& response) const {
    const std::string operation = request.param("request");
    if (equalsNoCase(operation, "GetCapabilities")) {
        capabilities(request, response);
    } else if (equalsNoCase(operation, "GetFeature")) {
        getFeature(request, response);
    } else {
        exceptionAnswer(response, 400, operation.empty() ? "MissingParameterValue" : "OperationNotSupported", "request",
                        "Nieobslugiwane zapytanie: " + operation);
    }
    return true;
}

WfsPaging WfsService::pagingFor(const SimRequest& request) const {
    WfsPaging p = paging;
    if (request.faultPageLimit > 0) p.pageSize = request.faultPageLimit;
    if (request.faultPaging == "geoserver") p.style = PagingStyle::GeoServer;
    else if (request.faultPaging == "mapserver") p.style = PagingStyle::MapServer;
    else if (request.faultPaging == "none") p.style = PagingStyle::None;
    return p;
}

void WfsService::capabilities(const SimRequest& request, SimResponse& response) const {
    const WfsPaging p = pagingFor(request);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<wfs:WFS_Capabilities xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" xmlns=\"http://www.opengis.net/wfs/2.0\" "
        "xmlns:ows=\"http://www.opengis.net/ows/1.1\" version=\"2.0.0\">\n"
        "  <ows:ServiceIdentification><ows:Title>" +
        xmlEscape(title) +
        "</ows:Title><ows:ServiceType>WFS</ows:ServiceType><ows:ServiceTypeVersion>2.0.0</ows:ServiceTypeVersion>"
        "<ows:ServiceTypeVersion>1.1.0</ows:ServiceTypeVersion></ows:ServiceIdentification>\n"
        "  <FeatureTypeList>\n";
    for (const auto& name : store_->typeNames()) {
        xml += "    <FeatureType><Name>" + xmlEscape(name) + "</Name><Title>" + xmlEscape(localName(name)) +
               "</Title><DefaultCRS>urn:ogc:def:crs:EPSG::2180</DefaultCRS>";
        for (int code = 2176; code <= 2179; ++code)
            xml += "<OtherCRS>urn:ogc:def:crs:EPSG::" + platform::cformat("%d", code) + "</OtherCRS>";
        xml += "</FeatureType>\n";
    }
    xml += "  </FeatureTypeList>\n";
    // Paging is stated as real servers state it: the page size as a constraint of GetFeature itself.
    const bool pages = p.style != PagingStyle::None;
    xml += "  <ows:OperationsMetadata>\n    <ows:Operation name=\"GetFeature\">";
    if (pages && p.pageSize > 0)
        xml += "<ows:Constraint name=\"CountDefault\"><ows:NoValues/><ows:DefaultValue>" +
               platform::cformat("%d", p.pageSize) + "</ows:DefaultValue></ows:Constraint>";
    xml += "</ows:Operation>\n    <ows:Constraint name=\"ImplementsResultPaging\"><ows:NoValues/><ows:DefaultValue>" +
           std::string(pages ? "TRUE" : "FALSE") +
           "</ows:DefaultValue></ows:Constraint>\n  </ows:OperationsMetadata>\n";
    xml += "</wfs:WFS_Capabilities>\n";
    response.contentType = "application/xml";
    response.body = xml;
}

void WfsService::getFeature(const SimRequest& request, SimResponse& response) const {
    const bool wfs110 = request.param("version") == "1.1.0";
    std::string typeName = request.param(wfs110 ? "typename" : "typenames");
    if (typeName.empty()) typeName = request.param(wfs110 ? "typenames" : "typename");
    if (!store_->hasType(typeName)) {
        // Servers accept a type name without its prefix as well.
        for (const auto& name : store_->typeNames())
            if (localName(name) == localName(typeName)) typeName = name;
    }
    if (!store_->hasType(typeName)) {
        exceptionAnswer(response, 400, "InvalidParameterValue", "typenames", "Nieznany typ obiektow: " + typeName);
        return;
    }
    // Output system.
    int outCode = 2180;
    if (request.hasParam("srsname")) {
        outCode = epsgOfSystemText(request.param("srsname"));
        if (!isSupportedSystem(outCode)) {
            exceptionAnswer(response, 400, "InvalidParameterValue", "srsName", "Nieobslugiwany uklad");
            return;
        }
    }
    // Spatial filter.
    geodesy::Bbox box1992;
    bool hasBox = false;
    if (request.hasParam("bbox")) {
        const auto parts = splitComma(request.param("bbox"));
        double v[4];
        bool numbersOk = parts.size() == 4 || parts.size() == 5;
        for (int i = 0; numbersOk && i < 4; ++i)
            numbersOk = platform::parseDouble(parts[i], v[i]) && std::isfinite(v[i]);
        const std::string systemText = parts.size() == 5 ? parts[4] : request.param("srsname");
        const int boxCode = systemText.empty() ? 2180 : epsgOfSystemText(systemText);
        if (!numbersOk || !isSupportedSystem(boxCode)) {
            exceptionAnswer(response, 400, "InvalidParameterValue", "bbox", "Nieprawidlowy BBOX");
            return;
        }
        bool firstIsNorthing = false;
        switch (order_) {
            case BboxAxisOrder::EastingFirst: firstIsNorthing = false; break;
            case BboxAxisOrder::NorthingFirst: firstIsNorthing = true; break;
            case BboxAxisOrder::Standard:
                firstIsNorthing = !systemText.empty() && systemText.rfind("EPSG:", 0) != 0;
                break;
        }
        // Corners as (easting, northing) or, for geographic boxes, (latitude, longitude).
        double a0 = v[0], b0 = v[1], a1 = v[2], b1 = v[3];
        if (boxCode == 4326) {
            if (!firstIsNorthing) std::swap(a0, b0), std::swap(a1, b1);
        } else if (firstIsNorthing) {
            std::swap(a0, b0);
            std::swap(a1, b1);
        }
        box1992 = geodesy::boundsOf({toPl1992(boxCode, a0, b0), toPl1992(boxCode, a1, b0), toPl1992(boxCode, a1, b1),
                                     toPl1992(boxCode, a0, b1)});
        hasBox = true;
    }
    const auto matched = store_->query(typeName, hasBox ? &box1992 : nullptr);
    long long count = -1;
    long long start = 0;
    const std::string countText = request.param(wfs110 ? "maxFeatures" : "count");
    if (!countText.empty() && !platform::parseInt(countText, count)) count = -1;
    if (!request.param("startindex").empty() && !platform::parseInt(request.param("startindex"), start)) start = 0;
    start = std::max(0LL, start);
    const bool hitsOnly = equalsNoCase(request.param("resultType"), "hits");
    const WfsPaging p = pagingFor(request);
    // A server without paging knows no STARTINDEX; every server stops at its page size whatever COUNT asks.
    if (p.style == PagingStyle::None || wfs110) start = 0;
    if (p.pageSize > 0) count = count < 0 ? p.pageSize : std::min<long long>(count, p.pageSize);

    const std::string prefix = prefixOf(typeName);
    std::string members;
    long long returned = 0;
    for (std::size_t i = static_cast<std::size_t>(std::min<long long>(start, static_cast<long long>(matched.size())));
         !hitsOnly && i < matched.size() && (count < 0 || returned < count); ++i) {
        const SimFeature& f = *matched[i];
        std::string feature = "<" + typeName + " gml:id=\"" + xmlEscape(f.id) + "\">";
        feature += "<" + prefix + ":geom>" + geometryXml(f, outCode, !wfs110, f.id) + "</" + prefix + ":geom>";
        for (const auto& [key, value] : f.props)
            feature += "<" + prefix + ":" + key + ">" + xmlEscape(value) + "</" + prefix + ":" + key + ">";
        feature += "</" + typeName + ">";
        members += wfs110 ? "<gml:featureMember>" + feature + "</gml:featureMember>\n"
                          : "<wfs:member>" + feature + "</wfs:member>\n";
        ++returned;
    }
    const long long total = static_cast<long long>(matched.size());
    const bool cut = !hitsOnly && std::min(start, total) + returned < total;
    std::string paging = " numberMatched=\"" + platform::cformat("%lld", total) + "\"";
    if (cut && p.style == PagingStyle::MapServer) paging = " numberMatched=\"unknown\"";
    if (cut && p.style != PagingStyle::None)
        paging += " next=\"" + xmlEscape(nextPageUrl(request, p.style, start + returned)) + "\"";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string ns = " xmlns:" + prefix + "=\"http://geodraft.sim/" + prefix + "\"";
    if (wfs110) {
        xml +=
            "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs\" xmlns:gml=\"http://www.opengis.net/gml\"" +
            ns + " numberOfFeatures=\"" +
            platform::cformat("%lld", hitsOnly ? static_cast<long long>(matched.size()) : returned) + "\">\n" +
            members + "</wfs:FeatureCollection>\n";
    } else {
        xml +=
            "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
            "xmlns:gml=\"http://www.opengis.net/gml/3.2\"" +
            ns + paging + " numberReturned=\"" + platform::cformat("%lld", returned) +
            "\" timeStamp=\"2026-01-01T00:00:00Z\">\n" + members + "</wfs:FeatureCollection>\n";
    }
    response.contentType = wfs110 ? "text/xml; subtype=gml/3.1.1" : "application/gml+xml; version=3.2";
    response.body = xml;
}

}  // namespace sim
