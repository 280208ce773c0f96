// "place" through the palette's bridge: aborts that leave the project untouched, georeference
// distances, the working zone, the height anchor, repeated placement, counts and report lines.
#include <fstream>
#include <memory>

#include "PlacementFixture.h"
#include "settings/Diagnostics.h"

namespace importer {

using formats::DataType;

namespace {

std::string zDiag() { return testsupport::readFile(settings::diagnosticPath(settings::kZDiagFile)); }

}  // namespace

using Placement = PlacementFixture;

TEST_F(Placement, AnAbortLeavesTheProjectByteIdenticalNewLayersIncluded) {
    georeferenceExact(centre());
    FetchedData data;
    const geodesy::Bbox f = frame();
    data.rasters = {raster({f.minE, f.minN, f.centre().x, f.centre().y}, 2180),
                    raster({f.centre().x, f.centre().y, f.maxE, f.maxN}, 2180)};
    data.features = {square(DataType::dzialki, at(0, 0), 20), square(DataType::budynki, at(5, 5), 8)};
    data.terrain = {patch(centre().x - 50, centre().y - 50, 100, 95.5)};
    fetchPrepared(data);
    model.saveProject(dir / "before.gdp");
    const std::string before = model.projectText();
    const std::size_t commandsBefore = model.committedCommands().size();

    auto refused = [&](model::HostOp op, model::FaultRule rule, const std::string& error) {
        model.injectFault(op, std::move(rule));
        EXPECT_EQ(place(), errorMsg(error));
        EXPECT_EQ(model.projectText(), before);
        // The anchor's write went with the rest; the diagnostics must not claim it.
        EXPECT_NE(zDiag().find(" SetGeoLocation_ok=0 ohAfterSet=0 "), std::string::npos) << zDiag();
        model.clearFaults();
    };
    using model::HostCall;
    // Rasters and parcels were already made, and a layer too, when the building layer fails.
    refused(
        model::HostOp::CreateAttribute,
        [](const HostCall& c) { return c.name == "GIS_BUDYNKI" ? host::kHostGeneralError : host::kHostOk; },
        "Nie mozna utworzyc/odnalezc warstwy dla typu: budynki");
    auto pictures = std::make_shared<int>(0);
    refused(
        model::HostOp::CreateElement,
        [pictures](const HostCall& c) {
            return c.code == host::kElemPicture && ++*pictures == 2 ? host::kHostBadPars : host::kHostOk;
        },
        "Blad wstawiania rastra (kod " + std::to_string(host::kHostBadPars) + ") dla: rastry");
    refused(
        model::HostOp::CreateElement,
        [](const HostCall& c) { return c.code == host::kElemMesh ? host::kHostOutOfMemory : host::kHostOk; },
        "Blad tworzenia Siatki terenu (kod " + std::to_string(host::kHostOutOfMemory) + ")");
    refused(model::HostOp::UndoableCommand, model::ModelHost::failAlways(host::kHostCommandRunning),
            "Import nieudany (transakcja wycofana)");

    EXPECT_EQ(model.committedCommands().size(), commandsBefore);
    // Nothing of the refused placements was kept: no anchor in the settings, none in the project.
    EXPECT_FALSE(controller->settings().hasZAnchor);
    EXPECT_FALSE(std::filesystem::exists(dir / "config/TERRAVOX/settings.json"));

    // The same data place once the host behaves.
    placed(nlohmann::json{{"rastry (rastr)", 2}, {"dzialki", 1}, {"budynki", 1}, {"teren (Siatka)", 1}});
    EXPECT_EQ(model.committedCommands().back(), "Import GIS");
}

TEST_F(Placement, GeoreferenceDistancesRefuseOrWarn) {
    FetchedData data;
    data.features = {square(DataType::dzialki, at(0, 0), 20)};
    fetchPrepared(data);

    // Nothing set at all.
    EXPECT_EQ(place()["msg"],
              "Projekt nie ma georeferencji. Kliknij \"Ustaw lokalizacje projektu wg mapy\" w palecie Geodraft "
              "(albo ustaw Survey Point: Opcje > Preferencje projektu > Georeferencja).");

    // An approximate georeference 2.4 km away is refused, naming whole kilometres.
    georeferenceApproximate({centre().x + 2400, centre().y});
    const std::string before = model.projectText();
    EXPECT_EQ(place(), errorMsg("Georeferencja projektu jest przyblizona i lezy 2 km od pobranego obszaru. Kliknij "
                                "\"Ustaw lokalizacje projektu wg mapy\" i sprobuj ponownie."));
    EXPECT_EQ(model.projectText(), before);

    // 1.5 km away it is good enough, and its own note is not a warning.
    georeferenceApproximate({centre().x, centre().y - 1500});
    nlohmann::json done = place();
    EXPECT_EQ(done["type"], "placeDone") << done;
    EXPECT_FALSE(done.contains("warning")) << done;

    // An exact one 60 km away places everything and warns.
    const geodesy::PlanarPoint origin = georeferenceExact({centre().x - 60000, centre().y + 300});
    done = placed(nlohmann::json{{"dzialki", 1}});
    EXPECT_EQ(done["warning"],
              "Uwaga: pobrany obszar lezy 60 km od Survey Pointu projektu - elementy beda daleko "
              "od zera projektu.");
    EXPECT_TRUE(hasReport("TERRAVOX: " + done["warning"].get<std::string>()));
    const auto lines = elements<host::PolylineElement>();
    ASSERT_FALSE(lines.empty());
    expectNear(lines.back().points[0], expected(at(0, 0), origin));
}

TEST_F(Placement, AProjectInPl1992IsPlacedInTheFramesZone) {
    // The survey point holds PL-1992 metres and the CRS says so; the data must still land in PL-2000.
    host::GeoLocation geo;
    geo.crsName = "EPSG:2180";
    geo.surveyEasting = centre().x + 100;
    geo.surveyNorthing = centre().y + 200;
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    FetchedData data;
    data.features = {square(DataType::dzialki, at(0, 0), 20)};
    fetchPrepared(data);

    const nlohmann::json done = place();
    ASSERT_EQ(done["type"], "placeDone") << done;
    const geodesy::PlanarPoint origin = geodesy::pl1992ToPl2000(centre().x + 100, centre().y + 200, 2178);
    const auto lines = elements<host::PolylineElement>();
    ASSERT_EQ(lines.size(), 1u);
    expectNear(lines[0].points[0], expected(at(0, 0), origin));

    // A CRS text that names no zone: read as unsupported, warned about, placed in the frame's zone.
    geo.crsName = "ETRS89 / UTM 34N";
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    const nlohmann::json again = place();
    ASSERT_EQ(again["type"], "placeDone");
    EXPECT_EQ(again["warning"],
              "Uwaga: nieobslugiwany CRS projektu \"ETRS89 / UTM 34N\". Import zaklada uklad "
              "PL-2000/PL-1992 - sprawdz georeferencje.");
}

TEST_F(Placement, TheHeightAnchorIsStoredOnceAndReused) {
    georeferenceExact(centre());
    FetchedData data;
    data.terrain = {patch(centre().x - 50, centre().y - 50, 50, 95.7), patch(centre().x, centre().y, 50, 97.0)};
    fetchPrepared(data, {"teren"});

    nlohmann::json done = placed(nlohmann::json{{"teren (Siatka)", 2}});
    EXPECT_EQ(done["warning"],
              "Rzedna projektu = najnizszy punkt terenu (95 m npm) = 0 projektu; zapisana w "
              "ustawieniach. Kolejne importy spojne Z.");
    EXPECT_EQ(model.state().geoLocation.surveyHeight, 95.7);
    const nlohmann::json stored = nlohmann::json::parse(testsupport::readFile(dir / "config/TERRAVOX/settings.json"));
    EXPECT_EQ(stored["zAnchor"], 95.7);
    auto meshes = elements<host::MeshElement>();
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_NEAR(meshes[0].outline[0].z, 0.0, 1e-9);  // the lowest point is project zero
    EXPECT_NEAR(meshes[1].outline[0].z, 97.0 - 95.7, 1e-9);
    EXPECT_EQ(zDiag(),
              "ohZ_georef_start=0 minZ_liczony=95.7 zAnchor(settings)=95.7 hasZAnchor=1 SetGeoLocation_ok=1 "
              "ohAfterSet=95.7 terrainZOffset=95.7 terenNMT=2 terenChmura=0\n");

    // A second import with lower terrain into the same project keeps the project's height.
    data.terrain = {patch(centre().x - 50, centre().y - 50, 50, 80.0)};
    fetchPrepared(data, {"teren"});
    done = place();
    ASSERT_EQ(done["type"], "placeDone");
    EXPECT_FALSE(done.contains("warning")) << done;
    meshes = elements<host::MeshElement>();
    ASSERT_EQ(meshes.size(), 3u);
    EXPECT_NEAR(meshes[2].outline[0].z, 80.0 - 95.7, 1e-9);

    // A new project (survey height 0) still takes the stored anchor, not its own lowest point.
    setSurveyHeight(0.0);
    done = place();
    ASSERT_EQ(done["type"], "placeDone");
    EXPECT_FALSE(done.contains("warning"));
    EXPECT_NEAR(elements<host::MeshElement>().back().outline[0].z, 80.0 - 95.7, 1e-9);
    EXPECT_EQ(model.state().geoLocation.surveyHeight, 0.0) << "a reused anchor is not written again";
    EXPECT_EQ(zDiag(),
              "ohZ_georef_start=0 minZ_liczony=0 zAnchor(settings)=95.7 hasZAnchor=1 SetGeoLocation_ok=0 "
              "ohAfterSet=0 terrainZOffset=95.7 terenNMT=1 terenChmura=0\n");
}

TEST_F(Placement, PlacingTwiceMakesTwoCopiesWithTheSameCountsAndReport) {
    georeferenceExact(centre());
    FetchedData data;
    data.features = {square(DataType::dzialki, at(-10, -20), 30), square(DataType::budynki, at(0, 0), 10)};
    data.warning = "Brak uslugi GESUT dla powiatu.";
    fetchPrepared(data, {"dzialki", "budynki", "gesut"});

    const nlohmann::json first = place();
    const nlohmann::json second = place();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first["counts"], (nlohmann::json{{"budynki", 1}, {"dzialki", 1}}));
    EXPECT_EQ(first["warning"], "Brak uslugi GESUT dla powiatu.");
    EXPECT_EQ(elements<host::PolylineElement>().size(), 2u);
    EXPECT_EQ(elements<host::FillElement>().size(), 2u);
    EXPECT_EQ(model.committedCommands(), (std::vector<std::string>{"Import GIS", "Import GIS"}));

    // The extent line: every drawn vertex, truncated to whole metres.
    const auto& report = model.reportLines();
    EXPECT_EQ(report[report.size() - 2],
              "TERRAVOX: wektory w lokalnych wsp. X[-10..20] Y[-20..10] m od zera projektu.");
    EXPECT_EQ(report.back(), "TERRAVOX: Brak uslugi GESUT dla powiatu.");
}

TEST_F(Placement, ContoursAreDrawnAndMeshedOnlyWhenSelected) {
    georeferenceExact(centre());
    FetchedData data;
    terrain::ContourLine index{100.0, true, {}};
    for (int i = 0; i <= 10; ++i) index.points.push_back({centre().x - 60 + i * 12.0, centre().y + (i % 2)});
    terrain::ContourLine plain{100.5, false, {{centre().x - 60, centre().y + 20}, {centre().x + 60, centre().y + 25}}};
    data.contours = {index, plain};

    fetchPrepared(data, {"poziomice3d"});
    nlohmann::json done = placed(nlohmann::json{{"poziomice3d", 1}});
    EXPECT_TRUE(elements<host::PolylineElement>().empty());
    ASSERT_EQ(elements<host::MeshElement>().size(), 1u);
    EXPECT_EQ(elements<host::MeshElement>()[0].layer, layerIndex("GIS_POZIOMICE_3D"));

    fetchPrepared(data, {"poziomice2d"});
    done = placed(nlohmann::json{{"poziomice2d", 2}, {"podpisy rzednych", 2}});
    const auto lines = elements<host::PolylineElement>();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pen, 2);
    EXPECT_EQ(lines[1].pen, 1);
    EXPECT_EQ(lines[0].layer, layerIndex("GIS_POZIOMICE_2D"));
    EXPECT_EQ(elements<host::TextElement>().front().content, "100,00");

    // A refused contour mesh is a skipped solid with its own note; the rest stays.
    fetchPrepared(data, {"poziomice2d", "poziomice3d"});
    model.injectFault(model::HostOp::CreateElement,
                      [](const model::HostCall& c) { return c.code == host::kElemMesh ? host::kHostBadPars : 0; });
    done = placed(nlohmann::json{{"poziomice2d", 2}, {"podpisy rzednych", 2}});
    EXPECT_EQ(done["warning"],
              "Pominieto 1 wadliwych geometrii lub bryl. Poziomice: nie udalo sie utworzyc Siatki 3D z warstwic.");
}

TEST_F(Placement, ContourMeshHeightsFollowTheProjectHeightThenTheStoredAnchor) {
    georeferenceExact(centre());
    FetchedData data;
    terrain::ContourLine line{120.0, false, {{centre().x - 40, centre().y}, {centre().x, centre().y + 2}}};
    line.points.push_back({centre().x + 40, centre().y + 5});
    data.contours = {line};
    data.contoursCloud = {line};
    fetchPrepared(data, {"poziomice3d"});

    // Neither terrain, nor a project height, nor an anchor: absolute heights.
    nlohmann::json done = placed(nlohmann::json{{"poziomice3d", 1}, {"poziomicechmura3d", 1}});
    auto meshes = elements<host::MeshElement>();
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_NEAR(meshes[0].levelLines[0][0].z, 120.0, 1e-9);

    // The project's own height.
    setSurveyHeight(100.0);
    done = place();
    meshes = elements<host::MeshElement>();
    ASSERT_EQ(meshes.size(), 4u);
    EXPECT_NEAR(meshes[2].levelLines[0][0].z, 20.0, 1e-9);
    EXPECT_NEAR(meshes[3].levelLines[0][0].z, 20.0, 1e-9);

    // Without a project height the stored anchor is used (never written into the project).
    setSurveyHeight(0.0);
    send({{"type", "settingsChanged"}, {"mapping", nlohmann::json::object()}});
    controller->settings().zAnchor = 110.0;
    controller->settings().hasZAnchor = true;
    done = place();
    meshes = elements<host::MeshElement>();
    ASSERT_EQ(meshes.size(), 6u);
    EXPECT_NEAR(meshes[4].levelLines[0][0].z, 10.0, 1e-9);
    EXPECT_EQ(model.state().geoLocation.surveyHeight, 0.0);
}

TEST_F(Placement, EveryVertexLiesWithinAMillimetreOfTheExactConversionFarFromTheFrame) {
    const geodesy::PlanarPoint origin = georeferenceExact(centre());
    // Parcels at the frame, 1.7 km and 8.6 km away (the farther ones were 6.7 mm and 0.25 m off).
    FetchedData data;
    const std::vector<geodesy::PlanarPoint> corners = {at(0, 0), at(1200, -1200), at(-6100, 6100), at(8600, 0)};
    for (const geodesy::PlanarPoint& p : corners) data.features.push_back(square(DataType::dzialki, p, 25));
    fetchPrepared(data);
    ASSERT_EQ(place()["type"], "placeDone");
    const auto lines = elements<host::PolylineElement>();
    ASSERT_EQ(lines.size(), corners.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const gml::GisPolygon& polygon = data.features[i].polygons[0];
        for (std::size_t k = 0; k < polygon.outer.size(); ++k)
            expectNear(lines[i].points[k], expected(polygon.outer[k], origin), 0.001);
    }
}

}  // namespace importer
