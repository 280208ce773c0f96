// LiDAR sheets on disk to one E57 file, as the point-cloud palette does after downloading: 8,000,000 points in four
// LAZ sheets (format 2, coloured) read at full detail, decoded on one and on two threads. Each run is a child
// process, so its peak memory is its own ("peak_MB", the child's maximum resident set) and so is its CPU time.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cloud_ui/CloudExport.h"
#include "formats/las/LazWriter.h"
#include "platform/ByteOrder.h"

namespace {

constexpr int kSheets = 4;
constexpr std::size_t kPointsPerSheet = 2'000'000;
const geodesy::Bbox kFrame{640000.0, 480000.0, 642000.0, 482000.0};

// Sheet k covers a 1000 m square of the frame; points on a jittered grid with a rolling ground and colour.
std::filesystem::path writeSheet(const std::filesystem::path& dir, int k) {
    const auto path = dir / ("sheet" + std::to_string(k) + ".laz");
    if (std::filesystem::exists(path)) return path;
    las::LasHeader h;
    h.pointFormat = 2;
    h.pointRecordLength = 26;
    h.scaleX = h.scaleY = h.scaleZ = 0.01;
    const double e0 = kFrame.minE + 1000.0 * (k % 2), n0 = kFrame.minN + 1000.0 * (k / 2);
    h.offsetX = e0;
    h.offsetY = n0;
    h.minX = e0;
    h.maxX = e0 + 1000.0;
    h.minY = n0;
    h.maxY = n0 + 1000.0;
    h.minZ = 100.0;
    h.maxZ = 140.0;
    h.pointCount = kPointsPerSheet;
    h.pointsByReturn[0] = kPointsPerSheet;
    las::LazWriter writer;
    const auto part = dir / ("sheet" + std::to_string(k) + ".part");
    if (!writer.open(part, h).ok) return {};
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(kPointsPerSheet))));
    const double spacing = 1000.0 / side;
    char r[26];
    for (std::size_t i = 0; i < kPointsPerSheet; ++i) {
        const double x = (static_cast<double>(i % side) + 0.2 * std::sin(i * 0.7)) * spacing + 0.5 * spacing;
        const double y = (static_cast<double>(i / side) + 0.2 * std::cos(i * 0.3)) * spacing + 0.5 * spacing;
        const double z = 120.0 + 10.0 * std::sin((e0 + x) / 90.0) * std::cos((n0 + y) / 70.0);
        std::memset(r, 0, sizeof r);
        platform::writeLittleEndian(r, static_cast<std::int32_t>(std::lround(x * 100)));
        platform::writeLittleEndian(r + 4, static_cast<std::int32_t>(std::lround(y * 100)));
        platform::writeLittleEndian(r + 8, static_cast<std::int32_t>(std::lround(z * 100)));
        r[14] = 0x09;
        r[15] = static_cast<char>(i % 7 == 0 ? 5 : 2);
        platform::writeLittleEndian(r + 20, static_cast<std::uint16_t>((i * 37) & 0xFFFF));
        platform::writeLittleEndian(r + 22, static_cast<std::uint16_t>(0x8000));
        platform::writeLittleEndian(r + 24, static_cast<std::uint16_t>(static_cast<std::uint16_t>(z * 400)));
        if (!writer.writePoint(r).ok) return {};
    }
    if (!writer.close().ok) return {};
    std::filesystem::rename(part, path);
    return path;
}

const std::vector<cloudui::CloudSheet>& sheets() {
    static const std::vector<cloudui::CloudSheet> all = [] {
        const auto dir = std::filesystem::temp_directory_path() / "geodraft_bench_cloud";
        std::filesystem::create_directories(dir);
        std::vector<cloudui::CloudSheet> s;
        for (int k = 0; k < kSheets; ++k) s.push_back({writeSheet(dir, k), 2180});
        return s;
    }();
    return all;
}

void BM_SheetsToE57(benchmark::State& state) {
    const unsigned threads = static_cast<unsigned>(state.range(0));
    const auto& input = sheets();
    const auto out = std::filesystem::temp_directory_path() / "geodraft_bench_cloud" / "out.e57";
    cloudui::CloudJob job;
    job.frame = kFrame;
    job.detail = cloudui::Detail::Full;
    job.zone = 2178;
    double peakMb = 0.0, cpuSeconds = 0.0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            const cloudui::CloudResult r = cloudui::exportCloud(job, input, out, {}, nullptr, threads);
            _exit(r.ok && r.count == kSheets * kPointsPerSheet ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("export failed");
        peakMb = std::max(peakMb, static_cast<double>(usage.ru_maxrss) / 1024.0);
        cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    std::filesystem::remove(out);
    state.counters["peak_MB"] = peakMb;
    // CPU time of the child: comparable even when the machine is shared.
    state.counters["child_cpu_s"] = cpuSeconds / static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSheets * kPointsPerSheet));
}

}  // namespace

BENCHMARK(BM_SheetsToE57)->Arg(1)->Arg(2)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
