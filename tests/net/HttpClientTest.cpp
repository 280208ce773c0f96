// The web client through real sockets: request shape, headers, pacing, retries, time-outs, truncation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "SimFixture.h"
#include "net/HttpExchange.h"

using namespace net;

namespace {
using Clock = std::chrono::steady_clock;
long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Streams `url`, counting the bytes handed on and noting the announced total.
struct Streamed {
    HttpStreamResult result;
    long long seen = 0, announced = -1;
    bool called = false, totalChanged = false;
};
Streamed download(const std::string& url, int receiveMs = 2000) {
    Streamed s;
    s.result = performDownload(url, 2000, receiveMs, "t", [&](const char*, std::size_t n, long long total) {
        s.totalChanged = s.totalChanged || (s.called && total != s.announced);
        s.called = true;
        s.announced = total;
        s.seen += static_cast<long long>(n);
        return true;
    });
    return s;
}
}  // namespace

class HttpClient : public SimFixture {};

TEST_F(HttpClient, RequestArrivesAsSentWithUserAgentAndNoOptionalHeaders) {
    sim.scenario().addText("mapy.geoportal.gov.pl", "/wss/x", "hello", "text/plain");
    const HttpResponse r = client.get("https://mapy.geoportal.gov.pl/wss/x?a=1&b=%C5%BC");
    EXPECT_EQ(r.body, "hello");
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 1u);
    const auto& q = log[0];
    EXPECT_EQ((std::vector<std::string>{q.method, q.scheme, q.host, q.path, q.query, q.header("User-Agent")}),
              (std::vector<std::string>{"GET", "https", "mapy.geoportal.gov.pl", "/wss/x", "a=1&b=%C5%BC",
                                        "TERRAVOX/0.1 (archicad-addon)"}));
    // Nothing of the HTTP library's own, and no Authorization or Content-Type on a plain GET.
    std::set<std::string> names;
    for (const auto& [name, value] : log[0].headers) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent"}));
}

TEST_F(HttpClient, TokenGoesOnlyToTheGeoportalOverHttpsAndContentTypeOnlyWhenSet) {
    sim.scenario().addText("*", "*", "{}", "application/json");
    client.options.hostIntervalMs = 0;
    client.options.accessToken = "abc\r\nX-Evil: 1";
    const std::vector<std::pair<std::string, bool>> urls = {
        {"https://mapy.geoportal.gov.pl/wss/service/x", true},
        {"HTTPS://opendata.geoportal.gov.pl:443/a.zip", true},
        {"http://mapy.geoportal.gov.pl/wss/service/x", false},
        {"https://nominatim.openstreetmap.org/search?q=geoportal.gov.pl", false},
        {"http://wms.powiat.example.pl/geoportal.gov.pl", false},
        {"https://geoportal.gov.pl.evil.example/x", false},
        {"https://mapy.geoportal.gov.pl@evil.example/x", false},
        {"https://rejestr-urbanistyczny.gov.pl/api/public/published/query", false},
    };
    for (const auto& [url, carries] : urls) {
        sim.log().clear();
        client.get(url);
        const auto log = sim.log().all();
        ASSERT_EQ(log.size(), 1u) << url;
        // A token never smuggles a header line of its own.
        EXPECT_EQ(log[0].header("Authorization"), carries ? "Bearer abcX-Evil: 1" : "") << url;
        EXPECT_FALSE(log[0].hasHeader("X-Evil"));
    }
    sim.log().clear();
    client.postJson("https://rejestr-urbanistyczny.gov.pl/api/public/published/query", "{\"a\":1}");
    client.request("POST", "https://other.pl/p", "raw", "", 2000);
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].header("Content-Type"), "application/json");
    EXPECT_EQ(log[0].body, "{\"a\":1}");
    EXPECT_FALSE(log[0].hasHeader("Authorization"));
    EXPECT_EQ(log[1].body, "raw");
    EXPECT_FALSE(log[1].hasHeader("Content-Type"));
}

TEST_F(HttpClient, TricklingAndCancelledRequestsEnd) {
    sim.scenario().addText("*", "*", std::string(20000, 'x'), "text/plain");
    client.options.requestDeadlineMs = 800;
    sim.faults().add({.host = "a.pl", .trickleMs = 300});
    const HttpResponse trickled = client.getWithTimeout("https://a.pl/slow", 2000);
    EXPECT_NE(trickled.error, "");
    EXPECT_LT(trickled.body.size(), 20000u);

    client.options.requestDeadlineMs = 0;
    std::atomic<bool> stop{false};
    client.options.cancelQuery = [&stop] { return stop.load(); };
    sim.faults().add({.host = "b.pl", .delayMs = 30000});
    std::thread canceller([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    const HttpResponse stalled = client.getWithTimeout("https://b.pl/stall", 60000);
    canceller.join();
    EXPECT_EQ(stalled.error, "Pobieranie anulowane.");
    // Once cancelled, no further request leaves.
    sim.log().clear();
    EXPECT_EQ(client.get("https://b.pl/next").error, "Pobieranie anulowane.");
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(HttpClient, PacingSpacesRequestsToOneHostButNotToOthers) {
    client.options.hostIntervalMs = 400;
    sim.scenario().addText("*", "*", "ok", "text/plain");
    client.get("https://a.pl/1");
    // The interval counts from the client's start of the previous request (same clock as the log); the
    // arrival of the first request may lag that start by a connection's set-up on a loaded machine.
    const std::int64_t firstStart = client.lastRequestByHost.at("a.pl");
    client.get("https://b.pl/1");
    client.get("https://a.pl/2");
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_LT(log[1].startMs - log[0].startMs, 300) << "another host must not wait";
    EXPECT_GE(log[2].startMs - firstStart, 400) << "the same host waits for the interval";
    // The table remembers one start per host, under the original host names.
    EXPECT_EQ(client.lastRequestByHost.size(), 2u);
}

TEST_F(HttpClient, GetRetriesOnceAfter5xxButNotAfter4xx) {
    sim.scenario().addText("*", "*", "data", "text/plain");
    sim.faults().add({"a.pl", "/x", {503, 503, 200}});
    const HttpResponse second = client.get("https://a.pl/x");
    EXPECT_EQ(second.status, 503) << "one retry only, whatever it gives";
    EXPECT_EQ(sim.log().matching("a.pl", "/x").size(), 2u);
    EXPECT_EQ(client.get("https://a.pl/x").body, "data");

    sim.faults().add({"b.pl", "/y", {404}});
    EXPECT_EQ(client.get("https://b.pl/y").status, 404);
    EXPECT_EQ(sim.log().matching("b.pl").size(), 1u);

    sim.faults().add({"c.pl", "/z", {500}});
    const auto t0 = Clock::now();
    EXPECT_EQ(client.get("https://c.pl/z").status, 200);
    EXPECT_GE(msSince(t0), client.options.retryDelayMs);
    const auto c = sim.log().matching("c.pl");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_GE(c[1].startMs - c[0].startMs, client.options.hostIntervalMs - 5);
}

TEST_F(HttpClient, NoConnectionGivesStatusZeroAndIsRetried) {
    sim::SimServer closed;
    ASSERT_TRUE(closed.start());
    const std::string deadBase = closed.baseUrl();
    closed.stop();  // nothing listens on that port now
    setenv(kServicesRoutingVariable, deadBase.c_str(), 1);
    client.options.hostIntervalMs = 0;
    client.options.retryDelayMs = 300;
    const auto t0 = Clock::now();
    const HttpResponse r = client.get("https://mapy.geoportal.gov.pl/x");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.error, "Brak polaczenia z mapy.geoportal.gov.pl");
    EXPECT_GE(msSince(t0), client.options.retryDelayMs) << "status 0 is retried once, after the pause";
}

TEST_F(HttpClient, MalformedUrlFailsBeforeAnyTraffic) {
    for (const std::string url :
         {"mapy.geoportal.gov.pl/x", "ftp://h/x", "https:///x", "https://h/a b", "https://h/a\r\nX: 1"}) {
        const HttpResponse r = client.getWithTimeout(url, 1000);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.error, "Nieprawidlowy URL: " + url);
    }
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(HttpClient, TimeOutsEndSilenceButNotASteadyTrickleAndCutStalledBodies) {
    sim.scenario().addText("*", "*", std::string(6 * 1024, 'd'), "application/octet-stream");
    sim.faults().add({"slow.pl", "", {}, -1, 5000});
    const HttpResponse silent = client.getWithTimeout("https://slow.pl/x", 300);
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.error, "Brak odpowiedzi serwera");

    // The receive time-out is per wait, not for the whole transfer.
    // Six pieces: about 600 ms in all, never 300 ms without data.
    sim.faults().add({.host = "steady.pl", .trickleMs = 120});
    const HttpResponse steady = client.getWithTimeout("https://steady.pl/x", 300);
    EXPECT_EQ(steady.error, "");
    EXPECT_EQ(steady.body.size(), 6u * 1024);

    // A body that stalls is cut and says so.
    sim.faults().add({.host = "stall.pl", .trickleMs = 20000});  // the first 1 KB, then silence
    const HttpResponse r = client.getWithTimeout("https://stall.pl/x", 300);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.error, "Pobieranie przerwane (1,0 KB z 6,0 KB).");
    EXPECT_EQ(download("https://stall.pl/y", 300).seen, 1024);
}

TEST_F(HttpClient, TruncatedAnswersAreNeverWhole) {
    sim.scenario().addText("*", "/cut", std::string(1000, 'x'), "application/octet-stream");
    sim.faults().add({"a.pl", "/cut", {}, 600});
    const Streamed d = download("https://a.pl/cut");
    EXPECT_EQ(d.announced, 1000);
    EXPECT_FALSE(d.totalChanged) << "every piece announces the same total";
    EXPECT_EQ(d.result.error, "Pobieranie przerwane (600 B z 1000 B).");
    // A whole-body request that is cut short is not reported as a success either.
    const HttpResult r = performRequest("GET", "https://a.pl/cut", {}, {}, 2000, 2000, "t");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Pobieranie przerwane (600 B z 1000 B).");
}

TEST_F(HttpClient, DownloadsWithoutLengthOrWithErrorsStatus) {
    sim.scenario().addGeneratedFile("*", "/chunked", -5000);
    sim.scenario().addText("*", "/missing-here", "nope", "text/plain");
    const Streamed d = download("https://a.pl/chunked");
    EXPECT_TRUE(d.result.ok) << d.result.error;
    EXPECT_EQ(d.seen, 5000);
    EXPECT_EQ(d.announced, 0);

    const Streamed notFound = download("https://a.pl/absent");
    EXPECT_EQ(notFound.result.status, 404);
    EXPECT_FALSE(notFound.called) << "a non-2xx body is not handed on";
}

TEST_F(HttpClient, RoutingNeverLetsARedirectLeaveTheMachine) {
    sim.scenario().addHandler("*", "/moved", [](const sim::SimRequest&, sim::SimResponse& r) {
        r.status = 302;
        r.headers.emplace_back("Location", "http://192.0.2.1/elsewhere");
        return true;
    });
    const auto t0 = Clock::now();
    const HttpResponse r = client.getWithTimeout("https://a.pl/moved", 2000);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.error, "Brak polaczenia z a.pl");
    EXPECT_LT(msSince(t0), 2000) << "refused at once, not by a connect time-out";

    // A redirect to a name is not even looked up: it reaches the local server (a ".invalid" name never resolves).
    const std::string port = sim.baseUrl().substr(sim.baseUrl().rfind(':') + 1);
    sim.scenario().addText("b.pl", "/target", "arrived", "text/plain");
    sim.scenario().addHandler("*", "/named", [port](const sim::SimRequest&, sim::SimResponse& answer) {
        answer.status = 302;
        answer.headers.emplace_back("Location", "http://geodraft-probe.invalid:" + port + "/https/b.pl/target");
        return true;
    });
    EXPECT_EQ(client.getWithTimeout("https://a.pl/named", 2000).body, "arrived");
}
