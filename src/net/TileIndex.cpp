#include "net/TileIndex.h"

#include <cmath>
#include <ctime>

#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"

namespace net {

TileIndexProduct nmtIndexProduct() { return {serviceEndpoints().nmtIndexWfs(), "gugik:SkorowidzNMT", 2018}; }
TileIndexProduct nmptIndexProduct() { return {serviceEndpoints().nmptIndexWfs(), "gugik:SkorowidzNMPT", 2019}; }
TileIndexProduct lidarIndexProduct() {
    return {serviceEndpoints().lidarIndexWfs(), "gugik:SkorowidzDanychPomiarowychLIDAR", 2018};
}

int firstIndexYear() {
    // A sheet set published early under next year's name is found too.
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return utc.tm_year + 1900 + 1;
}

std::string tileIndexUrl(const TileIndexProduct& product, int year, const geodesy::Bbox& frame) {
    return WfsClient::buildWfsUrl(product.serviceUrl, product.typePrefix + std::to_string(year), frame, kTileIndexCount,
                                  0, true, false, 0);
}

std::string searchIndexYears(WfsClient& client, const TileIndexProduct& product, const geodesy::Bbox& frame,
                             bool (*accept)(const std::string& body)) {
    bool answered = false;
    return searchIndexYears(client, product, frame, accept, answered);
}

std::string searchIndexYears(WfsClient& client, const TileIndexProduct& product, const geodesy::Bbox& frame,
                             bool (*accept)(const std::string& body), bool& answered) {
    answered = false;
    const bool finite = std::isfinite(frame.minE) && std::isfinite(frame.minN) && std::isfinite(frame.maxE) &&
                        std::isfinite(frame.maxN);
    if (!finite) return {};
    for (int year = firstIndexYear(); year >= product.oldestYear; --year) {
        HttpResponse answer = client.get(tileIndexUrl(product, year, frame));
        // No answer at all (unreachable service, time-out): older years would only repeat the wait.
        if (answer.status == 0) return {};
        // A year the service does not publish answers with an error status; an older one may still cover.
        if (answer.status != 200 || !answer.error.empty()) continue;
        if (isAnswerOfKind(answer.body, AnswerKind::featureCollection)) answered = true;
        if (accept(answer.body)) return std::move(answer.body);
    }
    return {};
}

namespace {

bool hasElevationSheets(const std::string& body) { return !scanElevationIndex(body).empty(); }

std::vector<ElevationTile> findElevationTiles(WfsClient& client, const TileIndexProduct& product,
                                              const geodesy::Bbox& frame, bool& answered) {
    return scanElevationIndex(searchIndexYears(client, product, frame, hasElevationSheets, answered));
}

}  // namespace

std::vector<ElevationTile> findNmtTiles(WfsClient& client, const geodesy::Bbox& frame) {
    bool answered = false;
    return findElevationTiles(client, nmtIndexProduct(), frame, answered);
}

std::vector<ElevationTile> findNmtTiles(WfsClient& client, const geodesy::Bbox& frame, bool& answered) {
    return findElevationTiles(client, nmtIndexProduct(), frame, answered);
}

std::vector<ElevationTile> findNmptTiles(WfsClient& client, const geodesy::Bbox& frame) {
    bool answered = false;
    return findElevationTiles(client, nmptIndexProduct(), frame, answered);
}

}  // namespace net
