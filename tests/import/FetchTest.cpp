// The "fetch" request through the palette's bridge: validation, zone choice, the worker, the
// result's counts, preview and warnings, and the busy and cancel states.
#include <atomic>
#include <future>
#include <limits>
#include <stdexcept>

#include "geodesy/Crs.h"
#include "import/ImportFixture.h"

namespace importer {

namespace {

nlohmann::json fetchMsg(double west, double south, double east, double north) {
    return nlohmann::json{{"type", "fetch"}, {"bboxWgs84", {west, south, east, north}}, {"layers", {"dzialki"}}};
}

gml::GisFeature parcel(double x, double y) {
    gml::GisFeature f;
    f.type = formats::DataType::dzialki;
    f.polygons.push_back(gml::GisPolygon{{{x, y}, {x + 10, y}, {x + 10, y + 10}}, {}});
    f.props["numer"] = "12/3";
    return f;
}

RasterImage orthophoto() {
    RasterImage r;
    r.type = formats::DataType::rastry;
    r.image = "\x89PNG\r\n\x1a\n....";
    r.box = geodesy::Bbox{0, 0, 10, 10};
    return r;
}

}  // namespace

class Fetch : public ImportFixture {
protected:
    void answer(FetchedData d) {
        controller->setFetchFunction([d](auto&&...) { return d; });
    }
    // A fetch of a small frame near Warsaw, with its worker finished.
    void fetchSmall() {
        send(fetchMsg(20, 52, 20.01, 52.01));
        settle();
    }
};

TEST_F(Fetch, MalformedOrTooLargeFramesAreRefusedWithoutStartingAFetch) {
    std::atomic<int> calls{0};
    controller->setFetchFunction([&](auto&&...) {
        ++calls;
        return FetchedData{};
    });
    // Short, missing or not-a-list frames, and values no map can produce.
    const nlohmann::json bad = errorMsg("Nieprawidlowy bbox");
    for (const nlohmann::json& msg :
         {nlohmann::json{{"type", "fetch"}, {"bboxWgs84", {20.0, 52.0, 21.0}}}, nlohmann::json{{"type", "fetch"}},
          nlohmann::json{{"type", "fetch"}, {"bboxWgs84", 5}}, fetchMsg(20.0, 52.0, 21.0, 95.0),
          fetchMsg(20.0, 52.0, 1e300, 53.0)})
        EXPECT_EQ(send(msg), std::vector<nlohmann::json>{bad}) << msg;

    // Frames too large for the vector layers are refused before any request.
    auto replies = send(fetchMsg(14.2, 49.0, 24.1, 54.8));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["type"], "error");
    const std::string text = replies[0]["msg"];
    EXPECT_EQ(text.rfind("Kadr za duzy dla dzialek, budynkow i GESUT: ", 0), 0u) << text;
    EXPECT_NE(text.find(" zapytan WFS (limit 1600) - zmniejsz kadr albo odznacz te warstwy."), std::string::npos);

    settle();
    EXPECT_EQ(calls.load(), 0);
    EXPECT_EQ(controller->fetchEpsg(), 2180) << "a refused request must not change the stored zone";

    // Rasters and terrain cap themselves: the same frame without vector layers goes ahead.
    nlohmann::json rastersOnly = fetchMsg(14.2, 49.0, 24.1, 54.8);
    rastersOnly["layers"] = {"rastr"};
    EXPECT_EQ(send(rastersOnly).size(), 1u);  // only the first progress event
    settle();
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(Fetch, RequestReachesTheWorkerWithFrameDefaultsAndZone) {
    // Frames of a whole degree: only layers that cap their own work may ask for them.
    const auto terrainMsg = [](double west, double south, double east, double north) {
        nlohmann::json msg = fetchMsg(west, south, east, north);
        msg["layers"] = {"teren"};
        return msg;
    };
    struct Seen {
        geodesy::Bbox frame;
        std::vector<std::string> layers;
        int rasterScale = 0, terrainStep = 0, epsg = 0;
        double interval = 0;
    };
    auto seen = std::make_shared<Seen>();
    controller->setFetchFunction(
        [this, seen](const geodesy::Bbox& f, const std::vector<std::string>& l, int rs, int ts, double ci) {
            *seen = Seen{f, l, rs, ts, controller->fetchEpsg(), ci};
            return FetchedData{};
        });
    auto replies = send(terrainMsg(16.0, 52.0, 17.0, 52.5));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0],
              (nlohmann::json{{"type", "progress"}, {"done", 0}, {"total", 1}, {"label", "Pobieranie warstw"}}));
    settle();
    EXPECT_EQ(seen->epsg, 2177) << "centre longitude 16.5 belongs to the eastern zone";
    EXPECT_EQ(seen->layers, std::vector<std::string>{"teren"});
    EXPECT_EQ(seen->rasterScale, 1000);
    EXPECT_EQ(seen->terrainStep, 1);
    EXPECT_DOUBLE_EQ(seen->interval, 1.0);

    // The box encloses every corner: a box of the south-west and north-east corners alone would cut the frame.
    for (auto [lat, lon] : {std::pair{52.0, 16.0}, {52.5, 17.0}, {52.5, 16.0}, {52.0, 17.0}}) {
        const geodesy::PlanarPoint c = geodesy::wgs84ToPl1992(lat, lon);
        EXPECT_GE(c.x, seen->frame.minE - 1e-6);
        EXPECT_LE(c.x, seen->frame.maxE + 1e-6);
        EXPECT_GE(c.y, seen->frame.minN - 1e-6);
        EXPECT_LE(c.y, seen->frame.maxN + 1e-6);
    }

    nlohmann::json full = terrainMsg(14.5, 52.0, 15.5, 52.5);
    full["rasterScale"] = 500;
    full["terrainStep"] = 5;
    full["poziomiceCiecie"] = 0.25;
    full["poziomiceWygladz"] = true;
    full["terenChmuraKrok"] = 2;
    host::GeoLocation geo;
    geo.crsName = "ETRS89 / Poland CS2000 zone 7 (EPSG:2178)";
    geo.surveyEasting = 7500000;
    geo.surveyNorthing = 5800000;
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    send(full);
    settle();
    EXPECT_EQ(seen->epsg, 2178) << "the project's own zone wins over the map position";
    EXPECT_EQ(seen->rasterScale, 500);
    EXPECT_EQ(seen->terrainStep, 5);
    EXPECT_DOUBLE_EQ(seen->interval, 0.25);
    EXPECT_TRUE(controller->smoothContours());
    EXPECT_DOUBLE_EQ(controller->cloudTerrainStep(), 2.0);

    geo.crsName = "EPSG:2180";  // PL-1992 is not a zone: the map position decides
    ASSERT_EQ(model.writeGeoLocation(geo), host::kHostOk);
    send(terrainMsg(14.5, 52.0, 15.5, 52.5));
    settle();
    EXPECT_EQ(seen->epsg, 2176);

    // Numbers beyond the integer range are clamped, not overflowed.
    nlohmann::json huge = terrainMsg(20, 52, 20.01, 52.01);
    huge["rasterScale"] = 1e300;
    huge["terrainStep"] = -1e300;
    send(huge);
    settle();
    EXPECT_EQ(seen->rasterScale, std::numeric_limits<int>::max());
    EXPECT_EQ(seen->terrainStep, -std::numeric_limits<int>::max());
}

TEST_F(Fetch, FetchDoneCountsPreviewAndWarnings) {
    FetchedData d;
    d.features = {parcel(1, 1), parcel(2, 2), parcel(3, 3)};
    d.rasters = {orthophoto()};
    answer(d);
    fetchSmall();
    auto done = received("fetchDone");
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0]["counts"], (nlohmann::json{{"dzialki", 3}, {"rastry (rastr)", 1}}));
    ASSERT_TRUE(done[0]["geojson"].is_string()) << "the preview travels as text";
    const nlohmann::json preview = nlohmann::json::parse(done[0]["geojson"].get<std::string>());
    EXPECT_EQ(preview["features"].size(), 3u);
    EXPECT_FALSE(done[0].contains("warning"));
    EXPECT_EQ(controller->lastLayers(), std::vector<std::string>{"dzialki"});

    // 3D lists count under their own names; a raster-only result has no preview; the
    // warning reaches the page and the report window.
    d = FetchedData{};
    d.terrain.resize(2);
    d.buildings3d.resize(4);
    d.contours.resize(3);
    d.contoursCloud.resize(7);
    d.roads.resize(1);
    d.warning = "Brak dzialek dla tego obszaru.";
    answer(d);
    fetchSmall();
    done = received("fetchDone");
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1]["counts"], (nlohmann::json{{"teren (Siatka)", 2},
                                                 {"budynki3d", 4},
                                                 {"poziomice (warstwice)", 3},
                                                 {"poziomice z chmury (warstwice)", 7},
                                                 {"drogi", 1}}));
    EXPECT_FALSE(done[1].contains("geojson"));
    EXPECT_EQ(done[1]["warning"], "Brak dzialek dla tego obszaru.");
    ASSERT_FALSE(model.reportLines().empty());
    EXPECT_EQ(model.reportLines().back(), "TERRAVOX: Brak dzialek dla tego obszaru.");

    // Broken text from a server still reaches the page, its valid letters kept.
    d = FetchedData{};
    d.features = {parcel(1, 1)};
    d.features[0].props["opis"] = "ul. \xC5\x81\xF0\x28 zla";  // a valid letter, then a broken sequence
    d.warning = "Uwaga: \xFF";
    answer(d);
    fetchSmall();
    done = received("fetchDone");
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[2]["counts"], (nlohmann::json{{"dzialki", 1}}));
    EXPECT_NE(nlohmann::json::parse(done[2]["geojson"].get<std::string>()).dump().find("ul. \xC5\x81"),
              std::string::npos);
    EXPECT_EQ(done[2]["warning"], "Uwaga: \xEF\xBF\xBD");
}

TEST_F(Fetch, EmptyOrFailedFetchLeavesNothingToPlace) {
    const std::vector<nlohmann::json> noData{errorMsg("Najpierw kliknij \"1. Pobierz elementy\".")};
    answer({});
    fetchSmall();
    EXPECT_EQ(send({{"type", "place"}}), noData);

    // A fetch that only brought notes says them instead of the generic text.
    FetchedData notes;
    notes.warning = "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru.";
    answer(notes);
    fetchSmall();
    EXPECT_EQ(received("fetchDone").back()["warning"], notes.warning);

    controller->setFetchFunction([](auto&&...) -> FetchedData { throw std::runtime_error("serwer zamilkl"); });
    fetchSmall();
    EXPECT_EQ(received("fetchDone").back(), (nlohmann::json{{"type", "fetchDone"},
                                                            {"counts", nlohmann::json::object()},
                                                            {"warning", "Blad pobierania: serwer zamilkl"}}));
    EXPECT_EQ(model.reportLines().back(), "TERRAVOX: Blad pobierania: serwer zamilkl");
    EXPECT_FALSE(controller->busy());

    // Even something that is not a std::exception must not leave the controller busy for good.
    controller->setFetchFunction([](auto&&...) -> FetchedData { throw 42; });
    fetchSmall();
    EXPECT_FALSE(controller->busy());
    EXPECT_EQ(received("fetchDone").size(), 4u);
}

TEST_F(Fetch, SecondFetchWhileBusyIsRefusedAndKeepsStoredData) {
    FetchedData one;
    one.features = {parcel(1, 1)};
    answer(one);
    fetchSmall();
    ASSERT_TRUE(controller->hasData());

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> sawCancel{false};
    controller->setFetchFunction([&, released](auto&&...) {
        released.wait();
        sawCancel = controller->cancelRequested();
        FetchedData d;
        d.features = {parcel(5, 5), parcel(6, 6)};
        return d;
    });
    send(fetchMsg(21, 52, 21.01, 52.01));
    EXPECT_TRUE(controller->busy());
    const std::vector<nlohmann::json> busy{errorMsg("Trwa pobieranie danych - sprobuj za chwile")};
    EXPECT_EQ(send(fetchMsg(23, 52, 23.01, 52.01)), busy);
    EXPECT_EQ(send({{"type", "place"}}), busy);
    EXPECT_EQ(controller->lastResult().features.size(), 1u);
    EXPECT_EQ(controller->fetchEpsg(), 2178) << "the refused request did not change the zone";

    const std::vector<nlohmann::json> cancelled{nlohmann::json{{"type", "cancelled"}}};
    EXPECT_EQ(send({{"type", "cancel"}}), cancelled);
    release.set_value();
    settle();
    EXPECT_TRUE(sawCancel.load());
    EXPECT_FALSE(controller->busy());
    EXPECT_EQ(received("fetchDone").size(), 2u) << "a cancelled fetch still ends with fetchDone";
    EXPECT_EQ(controller->lastResult().features.size(), 2u);

    // The next fetch starts with the flag cleared.
    controller->setFetchFunction([&](auto&&...) {
        sawCancel = controller->cancelRequested();
        return FetchedData{};
    });
    fetchSmall();
    EXPECT_FALSE(sawCancel.load());
}

TEST_F(Fetch, WorkerProgressArrivesInOrderBeforeTheResult) {
    controller->setFetchFunction([](auto&&...) {
        auto progress = ImportController::progressFor("Import: dzialki");
        progress(1, 3);
        progress(3, 3);
        ImportController::postProgress("Poziomice: liczenie warstwic", 2, 10, true);
        ImportController::postReportLine("TERRAVOX EGiB [TERYT 1465011] x");
        return FetchedData{};
    });
    fetchSmall();
    std::vector<std::string> types;
    for (const nlohmann::json& m : sent) types.push_back(m["type"]);
    EXPECT_EQ(types, (std::vector<std::string>{"progress", "progress", "progress", "progress", "fetchDone"}));
    EXPECT_EQ(sent[1], (nlohmann::json{{"type", "progress"}, {"done", 1}, {"total", 3}, {"label", "Import: dzialki"}}));
    EXPECT_EQ(sent[3], (nlohmann::json{{"type", "progress"},
                                       {"done", 2},
                                       {"total", 10},
                                       {"label", "Poziomice: liczenie warstwic"},
                                       {"cancellable", true}}));
    EXPECT_EQ(model.reportLines().front(), "TERRAVOX EGiB [TERYT 1465011] x");
}

TEST_F(Fetch, EventsAfterThePaletteClosedAreDroppedButTheResultIsKept) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    controller->setFetchFunction([released](auto&&...) {
        released.wait();
        FetchedData d;
        d.features = {parcel(1, 1)};
        return d;
    });
    send(fetchMsg(20, 52, 20.01, 52.01));
    palette.reset();
    release.set_value();
    settle();
    EXPECT_TRUE(received("fetchDone").empty());
    EXPECT_TRUE(controller->hasData());
    EXPECT_FALSE(controller->busy());
}

}  // namespace importer
