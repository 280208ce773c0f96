// The built-in service tables: coverage of every county, agreement with the published lists, the
// geoportal2 convention of derived rows, and the lookups by TERYT code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "net/ServiceRegistry.h"
#include "support/TestSupport.h"

namespace {

// Fields of one CSV line (quoted fields may hold commas; no quotes inside quotes in these lists).
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) out.emplace_back();
        else if (c != '\r') out.back().push_back(c);
    }
    return out;
}

// First column -> whole row, header skipped.
std::map<std::string, std::vector<std::string>> readCsv(const std::string& relative) {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream in(testsupport::readFile(testsupport::realdata(relative)));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        if (!line.empty()) {
            auto f = csvFields(line);
            rows[f[0]] = f;
        }
    return rows;
}

struct Table {
    const char* name;
    const net::ServiceRow* rows;
    std::size_t count;
};

const Table kTables[] = {
    {"EGiB", net::kCountyEgibServices, net::kCountyEgibServicesRows},
    {"GESUT", net::kCountyGesutServices, net::kCountyGesutServicesRows},
    {"BDOT500", net::kCountyBdot500Services, net::kCountyBdot500ServicesRows},
    {"MPZP", net::kMunicipalPlanningServices, net::kMunicipalPlanningServicesRows},
};

net::ServiceUrls egibUrls(std::string_view teryt) { return {"", net::findCountyEgibWfs(teryt)}; }

const std::regex kGeoportal2(R"(^(https?://[a-z0-9.-]+\.geoportal2\.pl(:\d+)?)/map/geoportal/[a-z]+\.php$)");

}  // namespace

TEST(ServiceRegistryTables, CountiesAndAddressesAgreeWithThePublishedLists) {
    GD_REQUIRE_REALDATA("registry/counties_teryt.csv");
    GD_REQUIRE_REALDATA("registry/egib.csv");
    const auto counties = readCsv("registry/counties_teryt.csv");
    const auto egib = readCsv("registry/egib.csv");
    ASSERT_EQ(counties.size(), 380u);
    std::set<std::string> keys;
    for (std::size_t i = 0; i < net::kCountyEgibServicesRows; ++i) {
        const net::ServiceRow& r = net::kCountyEgibServices[i];
        keys.insert(r.key);
        ASSERT_TRUE(egib.count(r.key)) << r.key;
        EXPECT_EQ(std::string(r.wfs), egib.at(r.key)[2]) << r.key;
        EXPECT_EQ(std::string(r.wms), egib.at(r.key)[1]) << r.key << ": no WMS is invented";
    }
    for (const auto& [key, row] : counties) EXPECT_TRUE(keys.count(key)) << "county " << key << " missing";

    const auto mpzp = readCsv("registry/mpzp.csv");
    ASSERT_EQ(net::kMunicipalPlanningServicesRows, mpzp.size());
    // A row whose address a list wrote out by its stated rule (an address pattern with a <placeholder>) says so.
    const std::string source = testsupport::readFile(testsupport::sourceDir() / "src/net/ServiceRegistryTables.cpp");
    const std::regex rule("https?://\\S*<[A-Za-z_]+>");
    for (const auto& [key, row] : mpzp) {
        const net::ServiceUrls u = net::findMunicipalPlanning(key);
        EXPECT_EQ(u.wmsUrl, row[1]) << key;
        EXPECT_EQ(u.wfsUrl, row[2]) << key;
        const bool byRule = std::regex_search(row[3], rule);
        const std::string line = "{\"" + key + "\", \"" + row[1] + "\", \"" + row[2] + "\"},  // ";
        EXPECT_NE(source.find(line + (byRule ? "rule\n" : "listed\n")), std::string::npos) << key;
    }
}

TEST(ServiceRegistryTables, DerivedRowsFollowTheGeoportal2Convention) {
    GD_REQUIRE_REALDATA("registry/gesut.csv");
    const auto gesutListed = readCsv("registry/gesut.csv");
    const auto bdotListed = readCsv("registry/bdot500.csv");
    std::size_t derived = 0;
    for (std::size_t i = 0; i < net::kCountyEgibServicesRows; ++i) {
        const std::string key = net::kCountyEgibServices[i].key;
        const net::ServiceRow& gesut = net::kCountyGesutServices[i];
        const net::ServiceRow& bdot = net::kCountyBdot500Services[i];
        std::smatch m;
        const std::string egibWfs = net::kCountyEgibServices[i].wfs;
        const bool onGeoportal2 = std::regex_match(egibWfs, m, kGeoportal2);
        const std::string host = onGeoportal2 ? m[1].str() : "";
        const bool gesutFact = gesutListed.count(key) > 0;
        const bool bdotFact = bdotListed.count(key) > 0;
        if (onGeoportal2) ++derived;

        const std::string expectGesutWms = gesutFact && !gesutListed.at(key)[1].empty() ? gesutListed.at(key)[1]
                                           : onGeoportal2 ? host + "/map/geoportal/wmsg.php"
                                                          : "";
        const std::string expectGesutWfs = gesutFact && !gesutListed.at(key)[2].empty() ? gesutListed.at(key)[2]
                                           : onGeoportal2 ? host + "/map/geoportal/wfsg.php"
                                                          : "";
        EXPECT_EQ(gesut.wms, expectGesutWms) << key;
        EXPECT_EQ(gesut.wfs, expectGesutWfs) << key;
        const std::string expectBdotWms = bdotFact       ? bdotListed.at(key)[1]
                                          : onGeoportal2 ? host + "/map/geoportal/wmsb.php"
                                                         : "";
        EXPECT_EQ(bdot.wms, expectBdotWms) << key;
        EXPECT_EQ(std::string(bdot.wfs), bdotFact ? bdotListed.at(key)[2] : "") << key << ": no BDOT500 WFS is guessed";
    }
    EXPECT_EQ(derived, 149u);
}

TEST(ServiceRegistryTables, GeneratedSourceIsUpToDate) {
    GD_REQUIRE_REALDATA("registry/egib.csv");
    testsupport::TempDir dir;
    const std::string out = (dir / "tables.cpp").string();
    const std::string cmd = "python3 '" + (testsupport::sourceDir() / "scripts/gen_service_registry.py").string() +
                            "' '" + testsupport::realdata("registry").string() + "' '" + out + "' > /dev/null";
    // One start of the interpreter only: it is the slow part, and 127 already says it is missing.
    const int status = std::system(cmd.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) GTEST_SKIP() << "python3 not available";
    ASSERT_EQ(status, 0);
    EXPECT_EQ(testsupport::readFile(out),
              testsupport::readFile(testsupport::sourceDir() / "src/net/ServiceRegistryTables.cpp"))
        << "regenerate with scripts/gen_service_registry.py";
}

// Finding every row by its key also holds each key unique and of its table's length (the lookup reads a prefix).
TEST(ServiceRegistryLookup, EveryRowIsWellFormedAndFoundByItsKeyAndByLongerCodes) {
    const std::regex url(R"(^https?://[A-Za-z0-9.-]+(:\d+)?(/\S*)?$)");
    using Find = net::ServiceUrls (*)(std::string_view);
    const Find finds[] = {egibUrls, net::findCountyGesut, net::findCountyBdot500, net::findMunicipalPlanning};
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        for (std::size_t i = 0; i < kTables[t].count; ++i) {
            const net::ServiceRow& row = kTables[t].rows[i];
            for (const char* u : {row.wms, row.wfs})
                EXPECT_TRUE(*u == 0 || std::regex_match(u, url)) << kTables[t].name << " " << row.key << ": " << u;
            // A municipality code finds its county; the 7-digit form with the municipality-type digit its municipality.
            for (const std::string suffix : {"", "1", "01"}) {
                const net::ServiceUrls u = finds[t](row.key + suffix);
                EXPECT_EQ(u.wfsUrl, row.wfs) << kTables[t].name << " " << row.key << suffix;
                if (t > 0) {
                    EXPECT_EQ(u.wmsUrl, row.wms) << kTables[t].name << " " << row.key << suffix;
                }
            }
        }
        for (const char* none : {"9999", "999999", "020", "", "02a3"}) {
            EXPECT_EQ(finds[t](none).wfsUrl, "") << kTables[t].name << " " << none;
            EXPECT_EQ(finds[t](none).wmsUrl, "") << kTables[t].name << " " << none;
        }
    }
}
