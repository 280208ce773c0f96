// `geodraft model PROJECT` run as a real program on real project files.
#include "HostFixture.h"
#include "support/GeodraftRun.h"

using namespace hosttest;
using namespace host;
using testsupport::TempDir;

TEST(ModelCommand, SummarisesProjectsAndRefusesMissingDamagedOrNone) {
    TempDir dir;
    model::ModelHost h;
    populate(h);
    ElementId id;
    ASSERT_EQ(h.createPolyline(polyline(1, {{0, 0}, {1, 0}}), id), kHostOk);
    ASSERT_TRUE(h.saveProject(dir / "projekt.gdp").ok);
    ASSERT_TRUE(model::ModelHost().saveProject(dir / "nowy.gdp").ok);
    testsupport::writeFile(dir / "zly.gdp", "{\"format\":\"geodraft-project\",\"version\":1}");

    // The whole summary of the populated project, in the order it is printed.
    const std::string summary =
        "Projekt: " + (dir / "projekt.gdp").string() +
        "\nWarstwy: 2\nElementy: 8\n  polilinie: 2\n    Warstwa podstawowa: 1\n    GIS_DZIALKI: 1\n  teksty: 1\n"
        "    GIS_DZIALKI: 1\n  wypelnienia: 1\n    GIS_DZIALKI: 1\n  siatki: 1\n    Warstwa podstawowa: 1\n  stropy: "
        "1\n"
        "    Warstwa podstawowa: 1\n  bryly (morph): 1\n    Warstwa podstawowa: 1\n  obrazy: 1\n"
        "    Warstwa podstawowa: 1\nGeoreferencja:\n  crsName: \"EPSG:2178\"\n  crsText2: \"\"\n"
        "  geodeticDatum: \"ETRF2000 (PL-ETRF2000)\"\n  verticalDatum: \"PL-EVRF2007-NH\"\n  mapProjection: "
        "\"PL-2000\"\n"
        "  mapZone: \"7\"\n  longitude: 21.0122287\n  latitude: 52.2296756\n  altitude: 0\n  rotation: 0\n"
        "  locationFlags: 60\n  surveyEasting: 7500123.456\n  surveyNorthing: 5789012.345\n  surveyHeight: 112.3\n"
        "  xAxisAbscissa: 1\n  xAxisOrdinate: 0\n  scale: 1\n  surveyExtra1: 0.1\n  surveyExtra2: 0\n"
        "Zaznaczone elementy: 1\n";
    struct Row {
        const char* name;
        std::string args;
        int exitCode;
        std::string present;
        std::string absent;
    };
    const std::vector<Row> rows = {
        {"populated", "model " + (dir / "projekt.gdp").string(), 0, summary, ""},
        {"new", "model " + (dir / "nowy.gdp").string(), 0, "Elementy: 0\nGeoreferencja: brak\n", ""},
        {"missing", "model " + (dir / "brak.gdp").string(), 1, "Nie mozna otworzyc projektu", ""},
        {"damaged", "model " + (dir / "zly.gdp").string(), 1, "Nieprawidlowy plik projektu", "Projekt:"},
        {"no project", "model", 2, "uzycie", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const testsupport::GeodraftRun r = testsupport::runGeodraft(dir / "run", row.args, {});
        const std::string output = r.out + r.err;
        EXPECT_EQ(r.exitCode, row.exitCode) << output;
        EXPECT_NE(output.find(row.present), std::string::npos) << "missing: " << row.present << "\n" << output;
        if (!row.absent.empty()) {
            EXPECT_EQ(output.find(row.absent), std::string::npos) << output;
        }
    }
}
