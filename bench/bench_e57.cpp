// E57 writing and cloud accumulation at the largest cloud an export may hold (8,000,000 points), and
// 10,000,000 points streamed in blocks of 1,000,000 with the writer's peak memory beyond the block.
// `bench_e57 --make-las|--make-laz PATH COUNT` instead writes a LAS (or LAZ) sheet of COUNT coloured points over a 1 km frame of
// Warsaw (PL-1992 639000..640000, 485000..486000), for measuring `geodraft cloud-export` as a whole.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "cloud_ui/CloudAccumulator.h"
#include "formats/e57/E57Writer.h"
#include "formats/e57/detail/Crc32c.h"
#include "formats/las/LasWriter.h"
#include "formats/las/LazWriter.h"
#include "platform/Numbers.h"
#include "support/ResidentMemory.h"

using e57::E57Writer, e57::writeE57;
using formats::CloudPoint;
using las::LasHeader, las::LasStatus, las::LasWriter, las::LazWriter;
using platform::parseInt;

namespace {

constexpr std::size_t kLargest = 8000000;

const std::vector<CloudPoint>& largestCloud() {
    static const std::vector<CloudPoint> pts = [] {
        std::vector<CloudPoint> v(kLargest);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> xy(0.0, 1000.0), z(80.0, 140.0);
        for (auto& p : v) {
            p = {xy(rng),
                 xy(rng),
                 z(rng),
                 static_cast<std::uint8_t>(rng()),
                 static_cast<std::uint8_t>(rng()),
                 static_cast<std::uint8_t>(rng()),
                 2};
        }
        return v;
    }();
    return pts;
}

std::filesystem::path benchFile(const char* name) {
    return std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
}

void BM_WriteE57(benchmark::State& state) {
    const auto& all = largestCloud();
    const std::vector<CloudPoint> pts(all.begin(), all.begin() + state.range(0));
    const auto path = benchFile("bench_e57.e57");
    std::uintmax_t size = 0;
    for (auto _ : state) {
        std::string error;
        if (!writeE57(path, pts, error)) state.SkipWithError(error.c_str());
        size = std::filesystem::file_size(path);
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_WriteE57)
    ->Arg(1000000)
    ->Arg(static_cast<std::int64_t>(kLargest))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The caller holds one block of 1,000,000 points at a time, as sheet reading produces them.
void BM_WriteE57Blocks(benchmark::State& state) {
    const std::size_t total = static_cast<std::size_t>(state.range(0)), block = 1000000;
    std::vector<CloudPoint> pts(block);
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> xy(0.0, 1000.0), z(80.0, 140.0);
    for (auto& p : pts) p = {xy(rng), xy(rng), z(rng), static_cast<std::uint8_t>(rng()), 40, 90, 2};
    const auto path = benchFile("bench_e57_blocks.e57");
    double before = 0, peak = 0;
    std::uintmax_t size = 0;
    for (auto _ : state) {
        before = benchsupport::residentMb("VmRSS:");
        benchsupport::resetPeak();
        E57Writer w;
        std::string error;
        if (!w.open(path, error)) state.SkipWithError(error.c_str());
        for (std::size_t done = 0; done < total; done += block) w.add(pts.data(), std::min(block, total - done));
        if (!w.close(error)) state.SkipWithError(error.c_str());
        peak = benchsupport::residentMb("VmHWM:");
        size = std::filesystem::file_size(path);
    }
    std::filesystem::remove(path);
    state.counters["peak_MB"] = peak;
    state.counters["beyond_points_MB"] = peak - before;
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_WriteE57Blocks)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_Crc32cPages(benchmark::State& state) {
    std::vector<unsigned char> data(1020 * 1024, 0x5A);
    for (auto _ : state) {
        std::uint32_t c = 0;
        for (std::size_t at = 0; at < data.size(); at += 1020) c ^= e57::detail::crc32c(data.data() + at, 1020);
        benchmark::DoNotOptimize(c);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Crc32cPages);

// Every point of a dense 1 km frame through the crop, the affine map and the 0.2 m voxels.
void BM_AccumulateStandard(benchmark::State& state) {
    const auto& pts = largestCloud();
    const geodesy::Bbox frame{639000.0, 485000.0, 640000.0, 486000.0};
    for (auto _ : state) {
        cloudui::CloudAccumulator acc(frame, 0.2, 2178);
        for (const CloudPoint& p : pts) acc.add(frame.minE + p.x, frame.minN + p.y, p.z, p.red, p.green, p.blue);
        benchmark::DoNotOptimize(acc.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pts.size()));
}
BENCHMARK(BM_AccumulateStandard)->Unit(benchmark::kMillisecond)->Iterations(2);

template <typename Writer>
int makeSheet(const char* path, long long count) {
    LasHeader h;
    h.versionMajor = 1;
    h.versionMinor = 2;
    h.pointFormat = 3;
    h.pointRecordLength = 34;
    h.scaleX = h.scaleY = h.scaleZ = 0.01;
    h.offsetX = 639000;
    h.offsetY = 485000;
    h.offsetZ = 0;
    Writer w;
    LasStatus st = w.open(path, h);
    if (!st.ok) {
        std::fprintf(stderr, "%s\n", st.message.c_str());
        return 1;
    }
    std::mt19937 rng(3);
    std::vector<char> batch(34 * 65536);
    for (long long done = 0; done < count;) {
        const long long n = std::min<long long>(65536, count - done);
        for (long long i = 0; i < n; ++i) {
            char* r = batch.data() + 34 * i;
            std::memset(r, 0, 34);
            const std::int32_t x = static_cast<std::int32_t>(rng() % 100000),
                               y = static_cast<std::int32_t>(rng() % 100000),
                               z = static_cast<std::int32_t>(8000 + rng() % 6000);
            std::memcpy(r, &x, 4);
            std::memcpy(r + 4, &y, 4);
            std::memcpy(r + 8, &z, 4);
            r[14] = 0x09;
            r[15] = 2;
            const std::uint16_t rgb[3] = {static_cast<std::uint16_t>(rng()), static_cast<std::uint16_t>(rng()),
                                          static_cast<std::uint16_t>(rng())};
            std::memcpy(r + 28, rgb, 6);
        }
        st = w.writePoints(batch.data(), static_cast<std::uint64_t>(n));
        if (!st.ok) break;
        done += n;
    }
    if (st.ok) st = w.close();
    if (!st.ok) {
        std::fprintf(stderr, "%s\n", st.message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    long long count = 0;
    if (argc == 4 && (std::strcmp(argv[1], "--make-las") == 0 || std::strcmp(argv[1], "--make-laz") == 0)) {
        if (!parseInt(argv[3], count) || count < 0) return 2;
        return std::strcmp(argv[1], "--make-laz") == 0 ? makeSheet<LazWriter>(argv[2], count)
                                                       : makeSheet<LasWriter>(argv[2], count);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
