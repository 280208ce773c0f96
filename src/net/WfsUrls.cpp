// OGC request URLs of WfsClient.
#include <algorithm>
#include <stdexcept>

#include "geodesy/Crs.h"
#include "net/UrlText.h"
#include "net/WfsClient.h"
#include "platform/Numbers.h"

using platform::cformat;

namespace {
std::string separatorFor(const std::string& baseUrl) { return baseUrl.find('?') != std::string::npos ? "&" : "?"; }
std::string number10(double value) { return cformat("%.10g", value); }
}  // namespace

std::string WfsClient::buildWfsUrl(const std::string& baseUrl, const std::string& typeName, double minX, double minY,
                                   double maxX, double maxY, int count, int startIndex, bool northingFirst, bool wfs110,
                                   int epsg) {
    std::string url = baseUrl + separatorFor(baseUrl);
    if (wfs110) {
        url += "service=WFS&version=1.1.0&request=GetFeature";
        url += "&typename=" + urlEncode(typeName);
        url += "&maxFeatures=" + cformat("%d", count);
    } else {
        url += "service=WFS&version=2.0.0&request=GetFeature";
        url += "&typenames=" + urlEncode(typeName);
        url += "&COUNT=" + cformat("%d", count);
        if (startIndex > 0) url += "&STARTINDEX=" + cformat("%d", startIndex);
    }
    int boxEpsg = kEpsgPl1992;
    if (epsg >= kEpsgPl2000Zone5 && epsg <= kEpsgPl2000Zone8) {
        const EN a = pl1992ToPl2000(minX, minY, epsg);
        const EN b = pl1992ToPl2000(maxX, maxY, epsg);
        minX = std::min(a.e, b.e);
        maxX = std::max(a.e, b.e);
        minY = std::min(a.n, b.n);
        maxY = std::max(a.n, b.n);
        url += "&SRSNAME=" + urlEncode("EPSG:" + cformat("%d", epsg));
        boxEpsg = epsg;
    }
    std::string box = northingFirst
                          ? number10(minY) + "," + number10(minX) + "," + number10(maxY) + "," + number10(maxX)
                          : number10(minX) + "," + number10(minY) + "," + number10(maxX) + "," + number10(maxY);
    box += ",urn:ogc:def:crs:EPSG::" + cformat("%d", boxEpsg);
    url += "&BBOX=" + urlEncode(box);
    return url;
}

std::string WfsClient::buildWmsUrl(const std::string& baseUrl, const std::string& layers, double minX, double minY,
                                   double maxX, double maxY, int width, int height, int epsg) {
    std::string url = baseUrl + separatorFor(baseUrl);
    url += "service=WMS&version=1.1.1&request=GetMap";
    url += "&layers=" + urlEncode(layers);
    url += "&styles=&format=" + urlEncode("image/png");
    url += "&transparent=true&SRS=" + urlEncode("EPSG:" + cformat("%d", epsg));
    url += "&WIDTH=" + cformat("%d", width) + "&HEIGHT=" + cformat("%d", height);
    url += "&BBOX=" + urlEncode(number10(minX) + "," + number10(minY) + "," + number10(maxX) + "," + number10(maxY));
    return url;
}
