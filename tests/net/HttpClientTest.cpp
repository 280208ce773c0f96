// The web client through real sockets: request shape, headers, pacing, retries, time-outs, truncation.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "SimFixture.h"
#include "net/HttpExchange.h"

namespace {
using Clock = std::chrono::steady_clock;
long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}
}  // namespace

class HttpClient : public SimFixture {};

TEST_F(HttpClient, RequestArrivesAsSentWithUserAgentAndNoOptionalHeaders) {
    sim.scenario().addText("mapy.geoportal.gov.pl", "/wss/x", "hello", "text/plain");
    const net::HttpResponse r = client.get("https://mapy.geoportal.gov.pl/wss/x?a=1&b=%C5%BC");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "hello");
    EXPECT_EQ(r.error, "");
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].scheme, "https");
    EXPECT_EQ(log[0].host, "mapy.geoportal.gov.pl");
    EXPECT_EQ(log[0].path, "/wss/x");
    EXPECT_EQ(log[0].query, "a=1&b=%C5%BC");
    EXPECT_EQ(log[0].header("User-Agent"), "TERRAVOX/0.1 (archicad-addon)");
    EXPECT_FALSE(log[0].hasHeader("Authorization"));
    EXPECT_FALSE(log[0].hasHeader("Content-Type"));
    // Nothing else of the HTTP library's own: a plain GET names its host and agent, no accepted types.
    std::set<std::string> names;
    for (const auto& [name, value] : log[0].headers) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent"}));
}

TEST_F(HttpClient, TokenAndContentTypeOnlyWhenSet) {
    sim.scenario().addText("*", "*", "{}", "application/json");
    client.postJson("https://rejestr-urbanistyczny.gov.pl/api/public/published/query", "{\"a\":1}");
    client.request("POST", "https://other.pl/p", "raw", "", 2000);
    client.options.accessToken = "abc\r\nX-Evil: 1";
    client.get("https://third.pl/g");
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].header("Content-Type"), "application/json");
    EXPECT_EQ(log[0].body, "{\"a\":1}");
    EXPECT_FALSE(log[0].hasHeader("Authorization"));
    EXPECT_EQ(log[1].body, "raw");
    EXPECT_FALSE(log[1].hasHeader("Content-Type"));
    // A token never smuggles a header line of its own.
    EXPECT_EQ(log[2].header("Authorization"), "Bearer abcX-Evil: 1");
    EXPECT_FALSE(log[2].hasHeader("X-Evil"));
    EXPECT_FALSE(log[2].hasHeader("Content-Type"));
}

TEST_F(HttpClient, PacingSpacesRequestsToOneHostButNotToOthers) {
    client.options.hostIntervalMs = 400;
    sim.scenario().addText("*", "*", "ok", "text/plain");
    client.get("https://a.pl/1");
    client.get("https://b.pl/1");
    client.get("https://a.pl/2");
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_LT(log[1].startMs - log[0].startMs, 300) << "another host must not wait";
    EXPECT_GE(log[2].startMs - log[0].startMs, 400 - 5) << "the same host waits for the interval";
    // The table remembers one start per host, under the original host names.
    EXPECT_EQ(client.lastRequestByHost.size(), 2u);
    EXPECT_TRUE(client.lastRequestByHost.count("a.pl"));
}

TEST_F(HttpClient, GetRetriesOnceAfter5xxButNotAfter4xx) {
    sim.scenario().addText("*", "*", "data", "text/plain");
    sim.faults().add({"a.pl", "/x", {503, 503, 200}});
    const net::HttpResponse second = client.get("https://a.pl/x");
    EXPECT_EQ(second.status, 503) << "one retry only, whatever it gives";
    EXPECT_EQ(sim.log().matching("a.pl", "/x").size(), 2u);
    const net::HttpResponse third = client.get("https://a.pl/x");
    EXPECT_EQ(third.status, 200);
    EXPECT_EQ(third.body, "data");

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
    setenv(net::kServicesRoutingVariable, deadBase.c_str(), 1);
    client.options.hostIntervalMs = 0;
    client.options.retryDelayMs = 300;
    const auto t0 = Clock::now();
    const net::HttpResponse r = client.get("https://mapy.geoportal.gov.pl/x");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.error, "Brak polaczenia z mapy.geoportal.gov.pl");
    EXPECT_GE(msSince(t0), client.options.retryDelayMs) << "status 0 is retried once, after the pause";
}

TEST_F(HttpClient, MalformedUrlFailsBeforeAnyTraffic) {
    for (const std::string url :
         {"mapy.geoportal.gov.pl/x", "ftp://h/x", "https:///x", "https://h/a b", "https://h/a\r\nX: 1"}) {
        const net::HttpResponse r = client.getWithTimeout(url, 1000);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.error, "Nieprawidlowy URL: " + url);
    }
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(HttpClient, ReceiveTimeOutEndsASilentServer) {
    sim.scenario().addText("*", "*", "late", "text/plain");
    sim.faults().add({"slow.pl", "", {}, -1, 5000});
    const auto t0 = Clock::now();
    const net::HttpResponse r = client.getWithTimeout("https://slow.pl/x", 300);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.error, "Brak odpowiedzi serwera");
    EXPECT_LT(msSince(t0), 1200);
}

TEST_F(HttpClient, ReceiveTimeOutIsPerWaitNotForTheWholeTransfer) {
    sim.scenario().addText("*", "*", std::string(6 * 1024, 'd'), "application/octet-stream");
    sim::Fault trickle;
    trickle.host = "steady.pl";
    trickle.trickleMs = 120;  // six pieces: about 600 ms in all, never 300 ms without data
    sim.faults().add(trickle);
    const net::HttpResponse r = client.getWithTimeout("https://steady.pl/x", 300);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.size(), 6u * 1024);
}

TEST_F(HttpClient, ABodyThatStallsIsCutAndSaysSo) {
    sim.scenario().addText("*", "*", std::string(6 * 1024, 'd'), "application/octet-stream");
    sim::Fault stall;
    stall.trickleMs = 20000;  // the first 1 KB, then silence
    sim.faults().add(stall);
    const auto t0 = Clock::now();
    const net::HttpResponse r = client.getWithTimeout("https://stall.pl/x", 300);
    EXPECT_LT(msSince(t0), 1500);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.error, "Pobieranie przerwane (1,0 KB z 6,0 KB).");
    long long seen = 0;
    const net::HttpStreamResult d =
        net::performDownload("https://stall.pl/y", 2000, 300, "t", [&](const char*, std::size_t n, long long) {
            seen += static_cast<long long>(n);
            return true;
        });
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, "Pobieranie przerwane (1,0 KB z 6,0 KB).");
    EXPECT_EQ(seen, 1024);
}

TEST_F(HttpClient, TruncatedAnswersAreNeverWhole) {
    sim.scenario().addText("*", "/cut", std::string(1000, 'x'), "application/octet-stream");
    sim.faults().add({"a.pl", "/cut", {}, 600});
    long long seen = 0;
    const net::HttpStreamResult d =
        net::performDownload("https://a.pl/cut", 2000, 2000, "t", [&](const char*, std::size_t n, long long total) {
            EXPECT_EQ(total, 1000);
            seen += static_cast<long long>(n);
            return true;
        });
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.status, 200);
    EXPECT_EQ(d.error, "Pobieranie przerwane (600 B z 1000 B).");
    EXPECT_EQ(seen, 600);
    // A whole-body request that is cut short is not reported as a success either.
    const net::HttpResult r = net::performRequest("GET", "https://a.pl/cut", {}, {}, 2000, 2000, "t");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Pobieranie przerwane (600 B z 1000 B).");
}

TEST_F(HttpClient, DownloadsWithoutLengthOrWithErrorsStatus) {
    sim.scenario().addGeneratedFile("*", "/chunked", -5000);
    sim.scenario().addText("*", "/missing-here", "nope", "text/plain");
    long long seen = 0, announced = -1;
    const net::HttpStreamResult d =
        net::performDownload("https://a.pl/chunked", 2000, 2000, "t", [&](const char*, std::size_t n, long long total) {
            announced = total;
            seen += static_cast<long long>(n);
            return true;
        });
    EXPECT_TRUE(d.ok) << d.error;
    EXPECT_EQ(seen, 5000);
    EXPECT_EQ(announced, 0);

    bool called = false;
    const net::HttpStreamResult notFound =
        net::performDownload("https://a.pl/absent", 2000, 2000, "t", [&](const char*, std::size_t, long long) {
            called = true;
            return true;
        });
    EXPECT_FALSE(notFound.ok);
    EXPECT_EQ(notFound.status, 404);
    EXPECT_EQ(notFound.error, "");
    EXPECT_FALSE(called) << "a non-2xx body is not handed on";

    const net::HttpStreamResult cancelled = net::performDownload(
        "https://a.pl/chunked", 2000, 2000, "t", [](const char*, std::size_t, long long) { return false; });
    EXPECT_FALSE(cancelled.ok);
    EXPECT_EQ(cancelled.error, "Pobieranie anulowane.");
}

TEST_F(HttpClient, RoutingNeverLetsARedirectLeaveTheMachine) {
    sim.scenario().addHandler("*", "/moved", [](const sim::SimRequest&, sim::SimResponse& r) {
        r.status = 302;
        r.headers.emplace_back("Location", "http://192.0.2.1/elsewhere");
        return true;
    });
    const auto t0 = Clock::now();
    const net::HttpResponse r = client.getWithTimeout("https://a.pl/moved", 2000);
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
    const net::HttpResponse named = client.getWithTimeout("https://a.pl/named", 2000);
    EXPECT_EQ(named.error, "");
    EXPECT_EQ(named.body, "arrived");
    EXPECT_EQ(sim.log().matching("b.pl", "/target").size(), 1u);
}

TEST_F(HttpClient, DebugTracesGoToStandardErrorWhenAsked) {
    sim.scenario().addText("*", "*", "ok", "text/plain");
    setenv("GIS_DEBUG_HTTP", "1", 1);
    testing::internal::CaptureStderr();
    client.get("https://a.pl/" + std::string(200, 'p'));
    const std::string err = testing::internal::GetCapturedStderr();
    unsetenv("GIS_DEBUG_HTTP");
    EXPECT_NE(err.find("[http] GET https://a.pl/" + std::string(120 - 13, 'p') + "\n"), std::string::npos) << err;
    EXPECT_NE(err.find("[http] session otwarta\n"), std::string::npos);
    EXPECT_NE(err.find("[http] SendRequest=1 err=0\n"), std::string::npos);
    EXPECT_NE(err.find("[http] odpowiedz OK, czytam body\n"), std::string::npos);
    testing::internal::CaptureStderr();
    client.get("https://a.pl/quiet");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
