// The Polish simulator scenario on a real loopback socket, every request routed to it, and a fetch context
// over a fresh client, cache and municipality cache for one test.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "PolandScenario.h"
#include "Scenarios.h"
#include "geodesy/Crs.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

inline bool hasLabel(const std::vector<std::string>& labels, const std::string& label) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

using ProgramRun = testsupport::GeodraftRun;
using testsupport::runGeodraft;

class FetchSim : public SimulatorFixture {
protected:
    FetchSim()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 5000},
                           sim::buildPolandScenario) {}

    // PL-1992 frame of the given size around a place of the scenario.
    static geodesy::Bbox frameAt(const sim::poland::Place& place, double width = 300, double height = 300) {
        const geodesy::PlanarPoint c = sim::poland::centre1992(place);
        return {c.x - width / 2, c.y - height / 2, c.x + width / 2, c.y + height / 2};
    }

    // Runs the groups for the keys in the fetch system; notes progress labels, downloads (cancellable events in
    // percent) and report lines.
    importer::FetchedData fetch(const std::vector<std::string>& keys, const geodesy::Bbox& frame, int fetchEpsg,
                                int rasterScale = 1000) {
        importer::FetchedData result;
        importer::FetchContext ctx(client, municipalities, result);
        ctx.frame = frame;
        ctx.keys = keys;
        ctx.rasterScale = rasterScale;
        ctx.fetchEpsg = fetchEpsg;
        ctx.progressFor = [this](const std::string& label) {
            labels.push_back(label);
            return [](std::int64_t, std::int64_t) { return true; };
        };
        ctx.progressEvent = [this](const std::string& label, int done, int total, bool cancellable) {
            if (cancellable && total == 100 && done >= 0 && done <= 100) downloads.push_back(label);
        };
        ctx.reportLine = [this](const std::string& line) { reports.push_back(line); };
        importer::runFetchGroups(ctx);
        return result;
    }
    importer::FetchedData fetchAt(const sim::poland::Place& place, const std::vector<std::string>& keys) {
        return fetch(keys, frameAt(place), place.zoneEpsg);
    }

    // Requests the simulator received for one service URL's host and path.
    std::vector<sim::LoggedRequest> requestsTo(const std::string& url) {
        return sim.log().matching(sim::poland::hostOf(url), sim::poland::pathOf(url));
    }

    // The fault `f` on one service URL's host and path.
    static sim::Fault faultOn(const std::string& url, sim::Fault f) {
        f.host = sim::poland::hostOf(url);
        f.path = sim::poland::pathOf(url);
        return f;
    }

    static int countOfType(const importer::FetchedData& data, formats::DataType type) {
        int n = 0;
        for (const gml::GisFeature& f : data.features) n += f.type == type ? 1 : 0;
        return n;
    }

    net::MunicipalityCache municipalities;
    std::vector<std::string> labels, downloads, reports;
};
