// "setOrigin", reading the georeference back ("getInit"), layers and the layer mapping, through
// the palette's bridge on a model host.
#include <cmath>

#include "geodesy/Crs.h"
#include "import/Georeference.h"
#include "import/ImportFixture.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

const nlohmann::json kWarsaw{{"type", "setOrigin"}, {"lat", 52.2297}, {"lon", 21.0122}};

bool hasCrsTexts(const host::GeoLocation& g) {
    return !g.crsName.empty() || !g.crsText2.empty() || !g.geodeticDatum.empty() || !g.verticalDatum.empty() ||
           !g.mapProjection.empty() || !g.mapZone.empty();
}

}  // namespace

class Origin : public ImportFixture {
protected:
    static std::string geoDiag() { return testsupport::readFile(settings::diagnosticPath(settings::kGeoDiagFile)); }
    // The one "init" answer to "getInit".
    nlohmann::json init() {
        auto replies = send({{"type", "getInit"}});
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? nlohmann::json::object() : replies[0];
    }
};

TEST_F(Origin, SetOriginWritesTheFullRecordAndGetInitAnswersThePointBack) {
    EXPECT_TRUE(send({{"type", "getInit"}}).empty()) << "a project without georeference sends nothing";

    host::GeoLocation before;
    before.crsText2 = "kept";
    before.rotation = 0.25;
    before.surveyExtra1 = 3.5;
    ASSERT_EQ(model.writeGeoLocation(before), host::kHostOk);

    auto replies = send(kWarsaw);
    ASSERT_EQ(replies.size(), 1u);
    const geodesy::PlanarPoint expected = geodesy::pl1992ToPl2000(geodesy::wgs84ToPl1992(52.2297, 21.0122), 2178);
    EXPECT_EQ(
        replies[0],
        (nlohmann::json{{"type", "originSet"}, {"e", expected.x}, {"n", expected.y}, {"h", 0.0}, {"epsg", 2178}}));

    const host::GeoLocation& geo = model.state().geoLocation;
    EXPECT_EQ(geo.crsName, "EPSG:2178");
    EXPECT_EQ(geo.mapZone, "7");
    EXPECT_EQ(geo.crsText2, "kept");
    EXPECT_DOUBLE_EQ(geo.surveyExtra1, 3.5);
    EXPECT_EQ(geo.surveyEasting, expected.x);
    EXPECT_EQ(geo.surveyNorthing, expected.y);

    ASSERT_FALSE(model.reportLines().empty());
    EXPECT_EQ(model.reportLines().back(),
              "TERRAVOX: ustawiono georeferencje projektu: E=7500833.512425 N=5788456.487381 (PL-2000, EPSG:2178) "
              "H=0.000000 m n.p.m. (PL-EVRF2007-NH)");
    EXPECT_EQ(geoDiag(),
              "SetGeoLocation: koncowy_err=0 poziom_ktory_przeszedl=0 "
              "(0=pelny,1=bez-opisow-CRS,2=minimum,-1=wszystkie-padly)\n"
              "  lat=52.2297 lon=21.0122 zone=2178 E=7.50083e+06 N=5.78846e+06 H=0\n"
              "  APIERR czeste: -2130311=BADID -2130313=BADPARS -2130315=BADINDEX -2110145=NOTSUPPORTED\n");
    EXPECT_EQ(init()["zoom"], 17);
}

TEST_F(Origin, HostRefusingCrsTextsFallsBackLevelByLevel) {
    // Refuses any record that carries a CRS text.
    model.injectFault(model::HostOp::WriteGeoLocation, [](const model::HostCall& c) {
        return c.geoLocation && hasCrsTexts(*c.geoLocation) ? host::kHostBadPars : host::kHostOk;
    });
    auto replies = send(kWarsaw);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["type"], "originSet");
    EXPECT_EQ(replies[0]["epsg"], 2178);
    const std::string diag = geoDiag();
    EXPECT_EQ(diag.rfind("SetGeoLocation: koncowy_err=0 poziom_ktory_przeszedl=2 ", 0), 0u) << diag;
    EXPECT_EQ(model.state().geoLocation.crsName, "");
    // Without a CRS name the zone still follows from the easting: the map centres on the point.
    const GeorefReading reading = readProjectGeoreference();
    EXPECT_EQ(reading.epsg, 2178);
    EXPECT_EQ(reading.message, "");
    const nlohmann::json answer = init();
    EXPECT_NEAR(answer["lat"].get<double>(), 52.2297, 1e-8);
    EXPECT_NEAR(answer["lon"].get<double>(), 21.0122, 1e-8);

    // A host that takes the CRS name but none of the descriptions stops at level 1.
    model.clearFaults();
    model.injectFault(model::HostOp::WriteGeoLocation, [](const model::HostCall& c) {
        const host::GeoLocation& g = *c.geoLocation;
        return g.geodeticDatum.empty() && g.mapZone.empty() ? host::kHostOk : host::kHostNotSupported;
    });
    ASSERT_EQ(send(kWarsaw).at(0)["type"], "originSet");
    EXPECT_NE(geoDiag().find("poziom_ktory_przeszedl=1 "), std::string::npos);
    EXPECT_EQ(model.state().geoLocation.crsName, "EPSG:2178");
    EXPECT_EQ(model.state().geoLocation.mapZone, "");
}

TEST_F(Origin, EveryLevelRefusedIsAnErrorNamingTheRealDiagnosticFile) {
    int attempts = 0;
    model.injectFault(model::HostOp::WriteGeoLocation, [&](const model::HostCall&) {
        ++attempts;
        return attempts < 3 ? host::kHostBadPars : host::kHostNotSupported;
    });
    const std::size_t reportsBefore = model.reportLines().size();
    auto replies = send(kWarsaw);
    EXPECT_EQ(attempts, 3);
    const std::string path = settings::diagnosticPath(settings::kGeoDiagFile).string();
    EXPECT_EQ(replies, std::vector<nlohmann::json>{
                           errorMsg("Nie udalo sie zapisac georeferencji projektu (kod -2110145). Szczegoly: " + path +
                                    ". Ustaw lokalizacje recznie: Opcje > Preferencje projektu > Georeferencja.")});
    EXPECT_EQ(testsupport::readFile(path).rfind("SetGeoLocation: koncowy_err=-2110145 poziom_ktory_przeszedl=-1 ", 0),
              0u);
    EXPECT_EQ(model.reportLines().size(), reportsBefore) << "nothing reported as set";
    EXPECT_TRUE(send({{"type", "getInit"}}).empty());
}

TEST_F(Origin, MissingUnreadableOrImpossibleCoordinates) {
    EXPECT_EQ(send({{"type", "setOrigin"}, {"lat", 52.0}}),
              std::vector<nlohmann::json>{errorMsg("Brak wspolrzednych srodka mapy")});
    EXPECT_EQ(send({{"type", "setOrigin"}, {"lat", 520.0}, {"lon", 21.0}}),
              std::vector<nlohmann::json>{errorMsg("Nieprawidlowe wspolrzedne srodka mapy")});
    auto replies = send({{"type", "setOrigin"}, {"lat", "52"}, {"lon", 21.0}});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_NE(replies[0]["msg"].get<std::string>().find("Blad wewnetrzny: [json.exception.type_error.302]"),
              std::string::npos);
    // Points on the globe that the Polish grids cannot represent.
    for (const auto& [lat, lon] : std::vector<std::pair<double, double>>{{52.0, -179.0}, {52.0, 30.0}, {-33.9, 18.4}})
        EXPECT_EQ(send({{"type", "setOrigin"}, {"lat", lat}, {"lon", lon}}),
                  std::vector<nlohmann::json>{
                      errorMsg("Punkt poza zasiegiem ukladu PL-2000 (dlugosc 13,5-25,5 E, szerokosc 48,5-55,5 N) - "
                               "georeferencja nie zostala ustawiona.")})
            << lon;
    EXPECT_FALSE(model.state().geoLocationSet) << "nothing written for a bad request";

    model.injectFault(model::HostOp::ReadGeoLocation, model::ModelHost::failAlways(host::kHostBadId));
    EXPECT_EQ(send(kWarsaw), std::vector<nlohmann::json>{errorMsg("Nie mozna odczytac georeferencji projektu")});
    EXPECT_TRUE(send({{"type", "getInit"}}).empty());
    EXPECT_EQ(readProjectGeoreference().message, "Nie mozna odczytac georeferencji projektu (GeoLocation).");
}

TEST_F(Origin, ReadingGradesTheGeoreference) {
    EXPECT_EQ(readProjectGeoreference().quality, GeorefQuality::none);

    // Only the project location: approximate, in PL-1992; getInit centres on it.
    host::GeoLocation geo;
    geo.latitude = 50.06;
    geo.longitude = 19.94;
    geo.rotation = 0.1;
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    GeorefReading r = readProjectGeoreference();
    EXPECT_EQ(r.quality, GeorefQuality::approximate);
    EXPECT_EQ(r.epsg, 2180);
    EXPECT_EQ(r.georef.easting, geodesy::wgs84ToPl1992(50.06, 19.94).x);
    EXPECT_DOUBLE_EQ(r.georef.rotation, 0.1);
    EXPECT_EQ(r.message, "Georeferencja przyblizona (z lokalizacji projektu, nie Survey Pointu).");
    const nlohmann::json approximate = init();
    EXPECT_NEAR(approximate["lat"].get<double>(), 50.06, 1e-8);
    EXPECT_NEAR(approximate["lon"].get<double>(), 19.94, 1e-8);

    // A survey point with a CRS that names no zone: exact, PL-1992 assumed, with a warning.
    geo.surveyEasting = 566000;
    geo.surveyNorthing = 244000;
    geo.xAxisAbscissa = 0.0;
    geo.xAxisOrdinate = 1.0;
    geo.crsName = "Lokalny uklad budowy";
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    r = readProjectGeoreference();
    EXPECT_EQ(r.quality, GeorefQuality::exact);
    EXPECT_EQ(r.epsg, 2180);
    EXPECT_NEAR(r.georef.rotation, M_PI / 2, 1e-12);
    EXPECT_EQ(r.message.rfind("Uwaga: nieobslugiwany CRS projektu", 0), 0u) << r.message;
    EXPECT_NEAR(init()["lat"].get<double>(), geodesy::pl1992ToWgs84(566000, 244000).lat, 1e-9);
}

TEST_F(Origin, LayerListAndMapping) {
    auto replies = send({{"type", "getLayers"}});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["type"], "layerList");
    EXPECT_EQ(replies[0]["layers"], (nlohmann::json{"Warstwa podstawowa"}));
    const nlohmann::json& mapping = replies[0]["mapping"];
    EXPECT_EQ(mapping.size(), 20u);
    EXPECT_EQ(mapping["dzialki"], "GIS_DZIALKI");
    EXPECT_EQ(mapping["wodachmura"], "GIS_WODA_CHMURA");

    // Only data-type keys change; the change is saved at once.
    EXPECT_TRUE(send({{"type", "settingsChanged"}, {"mapping", {{"dzialki", "A"}, {"xyz", "B"}}}}).empty());
    replies = send({{"type", "getLayers"}});
    EXPECT_EQ(replies.at(0)["mapping"]["dzialki"], "A");
    EXPECT_EQ(replies.at(0)["mapping"]["budynki"], "GIS_BUDYNKI");
    EXPECT_FALSE(replies.at(0)["mapping"].contains("xyz"));
    EXPECT_EQ(settings::loadSettings().layers.at(formats::DataType::dzialki), "A");

    // A wrong value anywhere changes nothing, also not the keys before it.
    replies = send({{"type", "settingsChanged"}, {"mapping", {{"budynki", "X"}, {"dzialki", 7}}}});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["msg"], "Blad wewnetrzny: [json.exception.type_error.302] type must be string, but is number");
    EXPECT_EQ(send({{"type", "getLayers"}}).at(0)["mapping"]["budynki"], "GIS_BUDYNKI");
    EXPECT_EQ(settings::loadSettings().layers.at(formats::DataType::budynki), "GIS_BUDYNKI");

    // No mapping: no answer and nothing saved.
    std::filesystem::remove(settings::settingsPath());
    EXPECT_TRUE(send({{"type", "settingsChanged"}}).empty());
    EXPECT_FALSE(std::filesystem::exists(settings::settingsPath()));

    // The host failing to list layers gives an empty list, not an error.
    model.injectFault(model::HostOp::ListAttributes, model::ModelHost::failAlways(host::kHostBadIndex));
    replies = send({{"type", "getLayers"}});
    EXPECT_EQ(replies.at(0)["layers"], nlohmann::json::array());
    EXPECT_EQ(replies.at(0)["mapping"]["dzialki"], "A");
}

}  // namespace importer
