// LAZ decoding speed, single-threaded and with two threads, against merely copying the same
// uncompressed record bytes, and the whole work of `geodraft las-info` (decoding, classes, bounds and
// the record hash). The test files (3 million points, formats 3 and 7) are written once into a
// temporary folder by our own writer; bench/README.md has the reference decoders' figures.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "formats/las/LasReader.h"
#include "formats/las/LasRecordSummary.h"
#include "formats/las/LasWriter.h"
#include "formats/las/LazWriter.h"

using las::LasHeader, las::LasReadOptions, las::LasReader, las::LasRecordSummary, las::LasWriter, las::LazWriter;

namespace {

double cpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

constexpr std::size_t kPoints = 3'000'000;

struct BenchFiles {
    std::filesystem::path dir;
    std::filesystem::path laz3, laz7, las3;
    std::vector<char> records3;
};

// A scan-like sequence: small steps in x, y, z, pulses of returns, slowly rising GPS time.
std::vector<char> scanRecords(std::uint8_t format, std::uint16_t length) {
    std::mt19937 rng(7);
    std::vector<char> out(kPoints * length);
    std::int32_t x = 0, y = 0, z = 10000;
    double gps = 1000.0;
    for (std::size_t i = 0; i < kPoints; ++i) {
        char* r = out.data() + i * length;
        x += static_cast<std::int32_t>(rng() % 61) - 20;
        y += static_cast<std::int32_t>(rng() % 41) - 20;
        z += static_cast<std::int32_t>(rng() % 21) - 10;
        if (i % 3 == 0) gps += 1.5e-5;
        const auto intensity = static_cast<std::uint16_t>(200 + rng() % 50);
        std::memcpy(r, &x, 4);
        std::memcpy(r + 4, &y, 4);
        std::memcpy(r + 8, &z, 4);
        std::memcpy(r + 12, &intensity, 2);
        const std::uint16_t rgb[3] = {static_cast<std::uint16_t>((rng() % 256) << 8), 0x8000, 0x7000};
        if (format == 3) {
            r[14] = static_cast<char>(1 | (1 << 3));
            r[15] = static_cast<char>(rng() % 4 == 0 ? 2 : 5);
            r[16] = 0;
            r[17] = 0;
            r[18] = 1;
            r[19] = 0;
            std::memcpy(r + 20, &gps, 8);
            std::memcpy(r + 28, rgb, 6);
        } else {
            r[14] = static_cast<char>(1 | (1 << 4));
            r[15] = 0;
            r[16] = static_cast<char>(rng() % 4 == 0 ? 2 : 5);
            r[17] = 0;
            r[18] = r[19] = 0;
            r[20] = 1;
            r[21] = 0;
            std::memcpy(r + 22, &gps, 8);
            std::memcpy(r + 30, rgb, 6);
        }
    }
    return out;
}

LasHeader header(std::uint8_t format, std::uint16_t length) {
    LasHeader h;
    h.pointFormat = format;
    h.pointRecordLength = length;
    h.versionMinor = format >= 6 ? 4 : 2;
    return h;
}

const BenchFiles& files() {
    static BenchFiles f = [] {
        BenchFiles b;
        b.dir = std::filesystem::temp_directory_path() / "geodraft_bench_laz";
        std::filesystem::create_directories(b.dir);
        b.laz3 = b.dir / "scan3.laz";
        b.laz7 = b.dir / "scan7.laz";
        b.las3 = b.dir / "scan3.las";
        b.records3 = scanRecords(3, 34);
        LazWriter w3;
        w3.open(b.laz3, header(3, 34));
        w3.writePoints(b.records3.data(), kPoints);
        w3.close();
        LasWriter plain;
        plain.open(b.las3, header(3, 34));
        plain.writePoints(b.records3.data(), kPoints);
        plain.close();
        const auto records7 = scanRecords(7, 36);
        LazWriter w7;
        w7.open(b.laz7, header(7, 36));
        w7.writePoints(records7.data(), kPoints);
        w7.close();
        return b;
    }();
    return f;
}

void readWhole(benchmark::State& state, const std::filesystem::path& path) {
    const unsigned threads = static_cast<unsigned>(state.range(0));
    std::vector<char> batch;
    for (auto _ : state) {
        LasReader reader;
        if (!reader.open(path, LasReadOptions{threads})) state.SkipWithError("open failed");
        batch.resize(static_cast<std::size_t>(reader.header().pointRecordLength) * 8192);
        std::uint64_t total = 0, n;
        while ((n = reader.readPoints(batch.data(), 8192)) > 0) total += n;
        if (total != kPoints || !reader.status()) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(batch.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

// Everything `las-info` does after the header: the comparison with the reference tools.
// On a machine busy with other work wall times mean little, so the CPU time of the reading thread and
// of all the others is counted too (ms per run): on free cores the run takes about the larger of the two.
void lasInfo(benchmark::State& state, const std::filesystem::path& path) {
    const unsigned threads = static_cast<unsigned>(state.range(0));
    double readerMs = 0, processMs = 0;
    for (auto _ : state) {
        const double reader0 = cpuMs(RUSAGE_THREAD), process0 = cpuMs(RUSAGE_SELF);
        LasReader reader;
        if (!reader.open(path, LasReadOptions{threads})) state.SkipWithError("open failed");
        LasRecordSummary summary(reader.header());
        reader.summarize(summary);
        reader.close();  // joins the workers, so their time is in
        readerMs += cpuMs(RUSAGE_THREAD) - reader0;
        processMs += cpuMs(RUSAGE_SELF) - process0;
        if (summary.count() != kPoints || !reader.status()) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(summary.hash());
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["reader_cpu_ms"] = readerMs / runs;
    state.counters["others_cpu_ms"] = (processMs - readerMs) / runs;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

void BM_LasInfoPointwise(benchmark::State& state) { lasInfo(state, files().laz3); }
void BM_LasInfoLayered(benchmark::State& state) { lasInfo(state, files().laz7); }
void BM_DecodeLazPointwise(benchmark::State& state) { readWhole(state, files().laz3); }
void BM_DecodeLazLayered(benchmark::State& state) { readWhole(state, files().laz7); }
void BM_ReadUncompressedLas(benchmark::State& state) { readWhole(state, files().las3); }

// The floor: copying the same record bytes in the same batches, with no file and no decoding.
void BM_CopyRecordBytes(benchmark::State& state) {
    const auto& src = files().records3;
    std::vector<char> batch(34 * 8192);
    for (auto _ : state) {
        for (std::size_t at = 0; at < src.size(); at += batch.size()) {
            const std::size_t n = std::min(batch.size(), src.size() - at);
            std::memcpy(batch.data(), src.data() + at, n);
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPoints));
}

}  // namespace

BENCHMARK(BM_LasInfoPointwise)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LasInfoLayered)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeLazPointwise)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeLazLayered)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadUncompressedLas)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyRecordBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
