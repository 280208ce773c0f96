// `geodraft model PROJECT` run as a real program on real project files.
#include <sys/wait.h>
#include <cstdio>

#include "HostFixture.h"
#include "support/TestSupport.h"

using namespace hosttest;
using testsupport::TempDir;

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

ProgramRun runGeodraft(const std::string& args) {
    const std::string cmd = (testsupport::binaryDir() / "app" / "geodraft").string() + " " + args + " 2>&1";
    ProgramRun r;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace

TEST(ModelCommand, SummarisesElementsByKindAndLayerAndTheGeoreference) {
    model::ModelHost h;
    populate(h);
    host::ElementId id;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), host::kHostOk);
    TempDir dir;
    ASSERT_TRUE(h.saveProject(dir / "projekt.gdp").ok);

    const ProgramRun r = runGeodraft("model " + (dir / "projekt.gdp").string());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char* expected : {
             "Warstwy: 2\n",
             "Elementy: 8\n",
             "  polilinie: 2\n    Warstwa podstawowa: 1\n    GIS_DZIALKI: 1\n",
             "  teksty: 1\n    GIS_DZIALKI: 1\n",
             "  wypelnienia: 1\n",
             "  siatki: 1\n    Warstwa podstawowa: 1\n",
             "  stropy: 1\n",
             "  bryly (morph): 1\n",
             "  obrazy: 1\n",
             "  crsName: \"EPSG:2178\"\n",
             "  geodeticDatum: \"ETRF2000 (PL-ETRF2000)\"\n",
             "  mapZone: \"7\"\n",
             "  longitude: 21.0122287\n",
             "  locationFlags: 60\n",
             "  surveyEasting: 7500123.456\n",
             "  surveyNorthing: 5789012.345\n",
             "  surveyHeight: 112.3\n",
             "  scale: 1\n",
             "  surveyExtra1: 0.1\n",
             "Zaznaczone elementy: 1\n",
         }) {
        EXPECT_NE(r.output.find(expected), std::string::npos) << "missing: " << expected << "\n" << r.output;
    }
}

TEST(ModelCommand, NewProjectHasNoGeoreference) {
    model::ModelHost h;
    TempDir dir;
    ASSERT_TRUE(h.saveProject(dir / "nowy.gdp").ok);
    const ProgramRun r = runGeodraft("model " + (dir / "nowy.gdp").string());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Elementy: 0\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Georeferencja: brak\n"), std::string::npos) << r.output;
}

TEST(ModelCommand, MissingDamagedOrNoProjectFails) {
    TempDir dir;
    ProgramRun r = runGeodraft("model " + (dir / "brak.gdp").string());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Nie mozna otworzyc projektu"), std::string::npos) << r.output;

    testsupport::writeFile(dir / "zly.gdp", "{\"format\":\"geodraft-project\",\"version\":1}");
    r = runGeodraft("model " + (dir / "zly.gdp").string());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Nieprawidlowy plik projektu"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Projekt:"), std::string::npos) << r.output;

    r = runGeodraft("model");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("uzycie"), std::string::npos) << r.output;
}
