// LiDAR sheets on disk to one E57 file, as the point-cloud palette does after downloading: 8,000,000 points in four
// LAZ sheets (format 2, coloured) read at full detail, decoded on one and on two threads. Each run is a child
// process, so its peak memory is its own ("peak_MB", the child's maximum resident set) and so is its CPU time.
// Then 10,000,000 points in five sheets (LAZ and LAS in turn) thinned at the light level, with the memory the
// export added to what the process held before ("beyond_MB").
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cloud_ui/CloudExport.h"
#include "formats/las/LasWriter.h"
#include "formats/las/LazWriter.h"
#include "platform/ByteOrder.h"
#include "platform/Numbers.h"
#include "support/ResidentMemory.h"

namespace {

constexpr int kSheets = 4;
constexpr std::size_t kPointsPerSheet = 2'000'000;
const geodesy::Bbox kFrame{640000.0, 480000.0, 642000.0, 482000.0};

// `count` points on a jittered grid over the rectangle [e0, e0 + width] x [n0, n0 + height], with a rolling ground
// and colour; an existing file is kept.
template <typename Writer>
std::filesystem::path writeSheet(const std::filesystem::path& path, double e0, double n0, double width, double height,
                                 std::size_t count) {
    if (std::filesystem::exists(path)) return path;
    las::LasHeader h;
    h.pointFormat = 2;
    h.pointRecordLength = 26;
    h.scaleX = h.scaleY = h.scaleZ = 0.01;
    h.offsetX = e0;
    h.offsetY = n0;
    h.minX = e0;
    h.maxX = e0 + width;
    h.minY = n0;
    h.maxY = n0 + height;
    h.minZ = 100.0;
    h.maxZ = 140.0;
    h.pointCount = count;
    h.pointsByReturn[0] = count;
    Writer writer;
    auto part = path;
    part += ".part";
    if (!writer.open(part, h).ok) return {};
    const std::size_t columns =
        static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(count) * width / height)));
    const std::size_t rows = (count + columns - 1) / columns;
    const double dx = width / static_cast<double>(columns), dy = height / static_cast<double>(rows);
    char r[26];
    for (std::size_t i = 0; i < count; ++i) {
        const double x = (static_cast<double>(i % columns) + 0.2 * std::sin(i * 0.7)) * dx + 0.5 * dx;
        const double y = (static_cast<double>(i / columns) + 0.2 * std::cos(i * 0.3)) * dy + 0.5 * dy;
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

std::filesystem::path benchDir() {
    const auto dir = std::filesystem::temp_directory_path() / "geodraft_bench_cloud";
    std::filesystem::create_directories(dir);
    return dir;
}

const std::vector<cloudui::CloudSheet>& sheets() {
    static const std::vector<cloudui::CloudSheet> all = [] {
        // Sheet k covers a 1000 m square of the frame.
        std::vector<cloudui::CloudSheet> s;
        for (int k = 0; k < kSheets; ++k) {
            const auto path = benchDir() / ("sheet" + std::to_string(k) + ".laz");
            const double e0 = kFrame.minE + 1000.0 * (k % 2), n0 = kFrame.minN + 1000.0 * (k / 2);
            s.push_back({writeSheet<las::LazWriter>(path, e0, n0, 1000.0, 1000.0, kPointsPerSheet), 2180});
        }
        return s;
    }();
    return all;
}

void BM_SheetsToE57(benchmark::State& state) {
    const unsigned threads = static_cast<unsigned>(state.range(0));
    const auto& input = sheets();
    const auto out = benchDir() / "out.e57";
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

// 10 points per square metre over one square kilometre: five strips of 200 m, 2,000,000 points each.
constexpr int kStrips = 5;
constexpr std::size_t kPointsPerStrip = 2'000'000;
const geodesy::Bbox kDenseFrame{643000.0, 480000.0, 644000.0, 481000.0};

const std::vector<cloudui::CloudSheet>& strips() {
    static const std::vector<cloudui::CloudSheet> all = [] {
        std::vector<cloudui::CloudSheet> s;
        for (int k = 0; k < kStrips; ++k) {
            const double e0 = kDenseFrame.minE + 200.0 * k, n0 = kDenseFrame.minN;
            const auto name = benchDir() / ("strip" + std::to_string(k));
            s.push_back(
                {k % 2 == 0
                     ? writeSheet<las::LazWriter>(name.string() + ".laz", e0, n0, 200.0, 1000.0, kPointsPerStrip)
                     : writeSheet<las::LasWriter>(name.string() + ".las", e0, n0, 200.0, 1000.0, kPointsPerStrip),
                 2180});
        }
        return s;
    }();
    return all;
}

// The export in a child process (a fresh heap each run); the child reports what the export added to its
// resident memory: the voxel set, one block of points, the writer, the sheet reader's buffers and the pages of
// a mapped LAS sheet (and, before the points streamed, the whole cloud). Arg 0: the light level over the whole
// kilometre (0.5 m voxels, about 4,200,000 points kept); arg 1: full detail over 600 m of it.
void BM_ExportMemory(benchmark::State& state) {
    const auto& input = strips();
    const auto out = benchDir() / "dense.e57";
    cloudui::CloudJob job;
    job.frame = kDenseFrame;
    job.detail = cloudui::Detail::Lekki;
    if (state.range(0) == 1) {  // every point of the western 600 m: no voxel set, 6,000,000 points kept
        job.frame.maxE = job.frame.minE + 599.9;
        job.detail = cloudui::Detail::Full;
    }
    job.zone = 2178;
    struct Report {
        bool ok;
        std::size_t kept;
        double beyondMb;
    } report{};
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) state.SkipWithError("no pipe");
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const double before = benchsupport::residentMb("VmRSS:");
            benchsupport::resetPeak();
            const cloudui::CloudResult r = cloudui::exportCloud(job, input, out, {}, nullptr, 1);
            const Report mine{r.ok, r.count, benchsupport::residentMb("VmHWM:") - before};
            const bool sent = write(fds[1], &mine, sizeof mine) == static_cast<ssize_t>(sizeof mine);
            _exit(sent ? 0 : 1);
        }
        close(fds[1]);
        const bool received = read(fds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report);
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!received || !report.ok) state.SkipWithError("export failed");
    }
    std::filesystem::remove(out);
    state.counters["kept_points"] = static_cast<double>(report.kept);
    state.counters["beyond_MB"] = report.beyondMb;
    state.counters["beyond_B_per_kept"] =
        report.kept > 0 ? report.beyondMb * 1048576.0 / static_cast<double>(report.kept) : 0.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStrips * kPointsPerStrip));
}

BENCHMARK(BM_ExportMemory)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
