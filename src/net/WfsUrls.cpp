// OGC request URLs of WfsClient.
#include <algorithm>
#include <stdexcept>

#include "geodesy/Crs.h"
#include "net/UrlText.h"
#include "net/WfsClient.h"
#include "platform/Numbers.h"

namespace net {

namespace {
std::string separatorFor(const std::string& baseUrl) { return baseUrl.find('?') != std::string::npos ? "&" : "?"; }
std::string number10(double value) { return platform::cformat("%.10g", value); }
}  // namespace

std::string WfsClient::buildWfsUrl(const std::string& baseUrl, const std::string& typeName, const geodesy::Bbox& box,
                                   int count, int startIndex, bool northingFirst, bool wfs110, int epsg) {
    double minX = box.minE, minY = box.minN, maxX = box.maxE, maxY = box.maxN;
    std::string url = baseUrl + separatorFor(baseUrl);
    if (wfs110) {
        url += "service=WFS&version=1.1.0&request=GetFeature";
        url += "&typename=" + urlEncode(typeName);
        url += "&maxFeatures=" + platform::cformat("%d", count);
    } else {
        url += "service=WFS&version=2.0.0&request=GetFeature";
        url += "&typenames=" + urlEncode(typeName);
        url += "&COUNT=" + platform::cformat("%d", count);
        if (startIndex > 0) url += "&STARTINDEX=" + platform::cformat("%d", startIndex);
    }
    int boxEpsg = geodesy::kEpsgPl1992;
    if (geodesy::isPl2000Epsg(epsg)) {
        const geodesy::PlanarPoint a = geodesy::pl1992ToPl2000(minX, minY, epsg);
        const geodesy::PlanarPoint b = geodesy::pl1992ToPl2000(maxX, maxY, epsg);
        minX = std::min(a.x, b.x);
        maxX = std::max(a.x, b.x);
        minY = std::min(a.y, b.y);
        maxY = std::max(a.y, b.y);
        url += "&SRSNAME=" + urlEncode("EPSG:" + platform::cformat("%d", epsg));
        boxEpsg = epsg;
    }
    std::string boxText = northingFirst
                              ? number10(minY) + "," + number10(minX) + "," + number10(maxY) + "," + number10(maxX)
                              : number10(minX) + "," + number10(minY) + "," + number10(maxX) + "," + number10(maxY);
    boxText += ",urn:ogc:def:crs:EPSG::" + platform::cformat("%d", boxEpsg);
    url += "&BBOX=" + urlEncode(boxText);
    return url;
}

std::string WfsClient::buildWmsUrl(const std::string& baseUrl, const std::string& layers, const geodesy::Bbox& box,
                                   int width, int height, int epsg) {
    std::string url = baseUrl + separatorFor(baseUrl);
    url += "service=WMS&version=1.1.1&request=GetMap";
    url += "&layers=" + urlEncode(layers);
    url += "&styles=&format=" + urlEncode("image/png");
    url += "&transparent=true&SRS=" + urlEncode("EPSG:" + platform::cformat("%d", epsg));
    url += "&WIDTH=" + platform::cformat("%d", width) + "&HEIGHT=" + platform::cformat("%d", height);
    url += "&BBOX=" + urlEncode(number10(box.minE) + "," + number10(box.minN) + "," + number10(box.maxE) + "," +
                                number10(box.maxN));
    return url;
}

}  // namespace net
