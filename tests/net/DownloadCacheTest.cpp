// The download cache through real sockets: hits without traffic, ".part" files, cancellation, failures, cleanup.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "SimFixture.h"
#include "net/DownloadCache.h"

namespace fs = std::filesystem;

namespace {
std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

void age(const fs::path& file, int days) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(24 * days));
}
}  // namespace

class DownloadCache : public SimFixture {};

TEST_F(DownloadCache, FileIsDownloadedOnceAndNamedBySha1) {
    sim.scenario().addGeneratedFile("opendata.geoportal.gov.pl", "*", 300000);
    const std::string url = "https://opendata.geoportal.gov.pl/InneDane/Budynki3D/LOD2/1465_gml.zip";
    std::string error;
    long long lastDone = -1, lastTotal = -1;
    int reports = 0;
    const std::string path = client.getCachedFile(
        url,
        [&](long long done, long long total) {
            EXPECT_GE(done, lastDone);
            lastDone = done;
            lastTotal = total;
            ++reports;
            return true;
        },
        5000, error);
    ASSERT_FALSE(path.empty()) << error;
    EXPECT_EQ(fs::path(path).filename().string(), net::sha1Hex(url) + ".zip");
    EXPECT_EQ(fs::file_size(path), 300000u);
    const std::string bytes = testsupport::readFile(path);
    EXPECT_EQ(bytes[123456], sim::generatedByte(123456));
    EXPECT_EQ(lastDone, 300000);
    EXPECT_EQ(lastTotal, 300000);
    EXPECT_LE(reports, 102) << "at most one report per 1 % (plus the first and the last)";
    EXPECT_EQ(filesIn(client.cacheFolder()).size(), 1u) << "no .part file is left";

    const std::string again = client.getCachedFile(url, nullptr, 5000, error);
    EXPECT_EQ(again, path);
    EXPECT_EQ(sim.log().size(), 1u) << "a hit sends no request";
}

TEST_F(DownloadCache, CancellingLeavesNoFileAtAll) {
    sim.scenario().addGeneratedFile("*", "*", 2000000);
    std::string error;
    int calls = 0;
    const std::string path = client.getCachedFile(
        "https://opendata.geoportal.gov.pl/big.zip", [&](long long, long long) { return ++calls < 3; }, 5000, error);
    EXPECT_EQ(path, "");
    EXPECT_EQ(error, "Pobieranie anulowane.");
    EXPECT_TRUE(filesIn(client.cacheFolder()).empty());

    // A progress callback that throws: the exception reaches the caller, and no file is left either.
    EXPECT_THROW(client.getCachedFile(
                     "https://opendata.geoportal.gov.pl/big.zip",
                     [&](long long done, long long) -> bool {
                         if (done > 100000) throw std::runtime_error("palette gone");
                         return true;
                     },
                     5000, error),
                 std::runtime_error);
    EXPECT_TRUE(filesIn(client.cacheFolder()).empty());
    EXPECT_NE(client.getCachedFile("https://opendata.geoportal.gov.pl/big.zip", nullptr, 5000, error), "") << error;
}

TEST_F(DownloadCache, FailuresAreReportedAndNothingIsCached) {
    sim.scenario().addGeneratedFile("*", "/cut.zip", 1000);
    sim.scenario().addGeneratedFile("*", "/ok.zip", 1000);
    sim.faults().add({"h.pl", "/cut.zip", {}, 600});
    std::string error;
    // An unwritable cache is reported with its path before any request.
    const fs::path cacheDir = client.options.cacheDir, notFolder = temp.path / "file-not-folder";
    client.options.cacheDir = notFolder;
    testsupport::writeFile(notFolder, "x");
    EXPECT_EQ(client.getCachedFile("https://h.pl/a.zip", nullptr, 5000, error), "");
    EXPECT_EQ(error.rfind("Nie mozna zapisac do pamieci podrecznej: " + notFolder.string(), 0), 0u) << error;
    EXPECT_EQ(sim.log().size(), 0u);
    client.options.cacheDir = cacheDir;

    EXPECT_EQ(client.getCachedFile("https://h.pl/cut.zip", nullptr, 5000, error), "");
    EXPECT_EQ(error, "Pobieranie przerwane (600 B z 1000 B).");
    EXPECT_EQ(client.getCachedFile("https://h.pl/none.zip", nullptr, 5000, error), "");
    EXPECT_EQ(error, "Serwer zwrocil status 404");
    // An exception document answered with 200 is not a package.
    sim.faults().add({"h.pl", "/ok.zip", {}, -1, 0, true, false, 1});
    EXPECT_EQ(client.getCachedFile("https://h.pl/ok.zip", nullptr, 5000, error), "");
    EXPECT_EQ(error, "Serwer zwrocil komunikat bledu zamiast pliku.");
    EXPECT_TRUE(filesIn(client.cacheFolder()).empty());
    sim.faults().add({.host = "h.pl", .path = "/ok.zip", .emptyOk = true, .times = 1});
    EXPECT_EQ(client.getCachedFile("https://h.pl/ok.zip", nullptr, 5000, error), "");
    EXPECT_EQ(error, "Serwer zwrocil pusta odpowiedz zamiast pliku.");
    sim.faults().add({.host = "h.pl", .path = "/ok.zip", .times = 1, .htmlOk = true});
    EXPECT_EQ(client.getCachedFile("https://h.pl/ok.zip", nullptr, 5000, error), "");
    EXPECT_TRUE(filesIn(client.cacheFolder()).empty());
    // A file not of the kind asked for is refused, and one cached by an earlier version is dropped.
    EXPECT_EQ(client.getCachedFile("https://h.pl/ok.zip", nullptr, 5000, error, net::AnswerKind::lasFile), "");
    testsupport::writeFile(client.cachePathFor("https://h.pl/ok.zip", "zip"), "");
    // The next attempt downloads it properly.
    EXPECT_NE(client.getCachedFile("https://h.pl/ok.zip", nullptr, 5000, error), "");
    EXPECT_EQ(fs::file_size(client.cachePathFor("https://h.pl/ok.zip", "zip")), 1000u);
}

TEST_F(DownloadCache, CachedTextKeepsOnlyWholeDataAnswers) {
    sim.scenario().addText("*", "/caps", "<WFS_Capabilities/>", "text/xml");
    const std::string url = "https://h.pl/caps?service=WFS";
    EXPECT_EQ(client.getCachedText(url, 2000), "<WFS_Capabilities/>");
    EXPECT_EQ(client.getCachedText(url, 2000), "<WFS_Capabilities/>");
    EXPECT_EQ(sim.log().size(), 1u);

    // A failure, an empty answer, a cut answer and an exception are never served from the cache later.
    sim.scenario().addText("*", "/flaky", "<wfs:FeatureCollection/>", "text/xml");
    sim.faults().add({"h.pl", "/flaky", {503}});
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?1", 2000), "");
    sim.faults().add({"h.pl", "/flaky", {}, -1, 0, false, true, 1});
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?2", 2000), "");
    sim.faults().add({"h.pl", "/flaky", {}, 10, 0, false, false, 1});
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?3", 2000), "");
    sim.faults().add({"h.pl", "/flaky", {}, -1, 0, true, false, 1});
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?4", 2000), "");
    sim.faults().add({.host = "h.pl", .path = "/flaky", .times = 1, .htmlOk = true});
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?5", 2000), "");
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?6", 2000, net::AnswerKind::gridText), "");
    for (const char* q : {"1", "2", "3", "4", "5", "6"})
        EXPECT_FALSE(fs::exists(client.cachePathFor(std::string("https://h.pl/flaky?") + q, "gml"))) << q;
    EXPECT_EQ(client.getCachedText("https://h.pl/flaky?4", 2000), "<wfs:FeatureCollection/>");
}

TEST_F(DownloadCache, CacheFilesArePrivateWhateverTheUmask) {
    sim.scenario().addGeneratedFile("*", "/file.zip", 1000);
    sim.scenario().addText("*", "/caps", "<WFS_Capabilities/>", "text/xml");
    const mode_t previous = ::umask(0);
    std::string error;
    const std::string file = client.getCachedFile("https://h.pl/file.zip", nullptr, 5000, error);
    client.getCachedText("https://h.pl/caps?x", 2000);
    ::umask(previous);
    ASSERT_NE(file, "") << error;
    for (const auto& entry : fs::directory_iterator(client.cacheFolder()))
        EXPECT_EQ(static_cast<unsigned>(entry.status().permissions()), 0600u) << entry.path();
}

TEST(DownloadCacheCleanup, RemovesPartFilesAndFilesOlderThan30Days) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "old.gml", "a");
    testsupport::writeFile(dir / "recent.gml", "b");
    testsupport::writeFile(dir / "fresh.zip.part.123.0", "c");
    testsupport::writeFile(dir / "sub" / "old-in-subfolder.gml", "d");
    age(dir / "old.gml", 31);
    age(dir / "recent.gml", 29);
    age(dir / "sub" / "old-in-subfolder.gml", 40);
    net::cleanupCache(dir.path);
    EXPECT_FALSE(fs::exists(dir / "old.gml"));
    EXPECT_TRUE(fs::exists(dir / "recent.gml"));
    EXPECT_FALSE(fs::exists(dir / "fresh.zip.part.123.0"));
    EXPECT_TRUE(fs::exists(dir / "sub" / "old-in-subfolder.gml")) << "only files directly inside are touched";
    net::cleanupCache(dir / "absent");  // no folder: nothing happens
}

TEST(DownloadCacheCleanup, FirstUseInAProcessCleansThePerUserFolder) {
    if (net::cacheCleanupDone()) GTEST_SKIP() << "the per-user cache was already used in this process";
    testsupport::TempDir home;
    const char* previous = std::getenv("XDG_CACHE_HOME");
    const std::string saved = previous ? previous : "";
    setenv("XDG_CACHE_HOME", home.path.c_str(), 1);
    const fs::path folder = home.path / "TERRAVOX" / "cache";
    testsupport::writeFile(folder / "old.gml", "a");
    testsupport::writeFile(folder / "x.zip.part.1.2", "b");
    age(folder / "old.gml", 31);
    EXPECT_EQ(net::cacheDirectory(), folder);
    EXPECT_TRUE(filesIn(folder).empty());
    testsupport::writeFile(folder / "x.zip.part.1.3", "b");
    net::cacheDirectory();
    EXPECT_TRUE(fs::exists(folder / "x.zip.part.1.3")) << "cleanup runs once per process";
    if (previous) setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CACHE_HOME");
}

TEST_F(DownloadCache, ThreadsDownloadingTheSameFileEndWithOneCompleteCopy) {
    sim.scenario().addGeneratedFile("*", "*", 400000);
    const std::string url = "https://opendata.geoportal.gov.pl/same.zip";
    std::vector<std::string> paths(4), errors(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            net::WfsClient own;  // one client per thread, as workers do
            own.options.cacheDir = client.options.cacheDir;
            paths[i] = own.getCachedFile(url, nullptr, 5000, errors[i]);
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(paths[i], client.cachePathFor(url, "zip")) << errors[i];
    EXPECT_EQ(std::filesystem::file_size(paths[0]), 400000u);
    EXPECT_EQ(filesIn(client.cacheFolder()).size(), 1u);
}
