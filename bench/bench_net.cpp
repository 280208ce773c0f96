// Streamed download of a large package through the cache: throughput, memory held, progress pacing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SimServer.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"

namespace {
// Resident set size of this process in kB.
long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void BM_CachedDownload(benchmark::State& state) {
    const long long size = state.range(0) * 1024 * 1024;
    sim::SimServer sim;
    sim.scenario().addGeneratedFile("opendata.geoportal.gov.pl", "*", size);
    if (!sim.start()) {
        state.SkipWithError("the simulator could not start");
        return;
    }
    setenv(net::kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "geodraft-bench-net";
    using Clock = std::chrono::steady_clock;
    long reports = 0, peakGrowthKb = 0;
    double maxGapMs = 0, minGapMs = 1e9;
    long long smallestStep = size;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        net::WfsClient client;
        client.options.cacheDir = folder;
        const long baseline = residentKb();
        reports = 0;
        long long lastDone = 0;
        Clock::time_point last = Clock::now();
        bool first = true;
        state.ResumeTiming();
        std::string error;
        const std::string path = client.getCachedFile(
            "https://opendata.geoportal.gov.pl/InneDane/Budynki3D/LOD2/bench.zip",
            [&](long long done, long long total) {
                const auto now = Clock::now();
                const double gap = std::chrono::duration<double, std::milli>(now - last).count();
                if (!first && done < total) {
                    maxGapMs = std::max(maxGapMs, gap);
                    minGapMs = std::min(minGapMs, gap);
                    smallestStep = std::min(smallestStep, done - lastDone);
                }
                first = false;
                last = now;
                lastDone = done;
                ++reports;
                peakGrowthKb = std::max(peakGrowthKb, residentKb() - baseline);
                return true;
            },
            net::kPackageTimeoutMs, error);
        if (path.empty()) state.SkipWithError(error.c_str());
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["progress_reports"] = static_cast<double>(reports);
    state.counters["rss_growth_kB"] = static_cast<double>(peakGrowthKb);
    state.counters["max_report_gap_ms"] = maxGapMs;
    state.counters["min_report_gap_ms"] = minGapMs;
    state.counters["smallest_report_step_kB"] = static_cast<double>(smallestStep) / 1024.0;
    std::filesystem::remove_all(folder);
    unsetenv(net::kServicesRoutingVariable);
    sim.stop();
}
}  // namespace

BENCHMARK(BM_CachedDownload)->Arg(64)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK_MAIN();
