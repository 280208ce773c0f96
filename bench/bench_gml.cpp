// GML parsing speed on a county-sized answer (~20 MB), next to GDAL's GML reader on the same file.
//
// The answers are built by repeating real members: the land-register building of county 0201 (EPSG 2180,
// 80 vertices; one feature type, as a county answer to one type name) and the general-plan zones
// (PL-2000 zone 5, every vertex converted). The files are written to the temporary folder so the GDAL tools can read them too;
// the GDAL benchmarks run only when ogrinfo/ogr2ogr are installed. The "Process" benchmarks compare whole
// processes: this program started again to read and parse the file once, against the GDAL tool, each with its
// wall time, CPU time and peak resident memory.
#include <benchmark/benchmark.h>

#include "support/TimedProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/gml/GmlParser.h"

using formats::DataType;
using gml::GmlParser, gml::featuresToGeoJson;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTargetBytes = 20u * 1024u * 1024u;

std::string readWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string bytes;
    std::error_code ec;
    const auto size = fs::file_size(p, ec);
    if (ec || !in) return bytes;
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Every "<wfs:member>...</wfs:member>" block of a real answer.
std::vector<std::string> membersOf(const std::string& answer) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = answer.find("<wfs:member>", at)) != std::string::npos) {
        const std::size_t end = answer.find("</wfs:member>", at);
        if (end == std::string::npos) break;
        out.push_back(answer.substr(at, end + 13 - at));
        at = end;
    }
    return out;
}

struct Answer {
    fs::path path;
    std::string text;
    std::size_t members = 0;
};

// A WFS 2.0 collection of about 20 MB made of the given real members, written to a temporary file.
Answer buildAnswer(const std::string& name, const std::vector<std::string>& sourceFiles) {
    Answer a;
    const fs::path dir = fs::path(GEODRAFT_REALDATA_DIR) / "gml";
    std::vector<std::string> members;
    std::string head;
    for (const std::string& f : sourceFiles) {
        const std::string text = readWhole(dir / f);
        if (head.empty()) head = text.substr(0, text.find("<wfs:member>"));
        for (std::string& m : membersOf(text)) members.push_back(std::move(m));
    }
    if (members.empty()) return a;
    a.text = head;
    while (a.text.size() < kTargetBytes) {
        for (const std::string& m : members) a.text += m + "\n";
        a.members += members.size();
    }
    a.text += "</wfs:FeatureCollection>\n";
    a.path = fs::temp_directory_path() / ("geodraft_bench_" + name + ".gml");
    std::ofstream(a.path, std::ios::binary) << a.text;
    return a;
}

const Answer& countyAnswer() {
    static const Answer a = buildAnswer("county_pl1992", {"egib_wfs_praszuk/geoportal__gml_building_2180_crs.xml"});
    return a;
}

const Answer& zonesAnswer() {
    static const Answer a = buildAnswer("zones_pl2000", {"pog_app/set1_StrefaPlanistyczna_EPSG2176.gml"});
    return a;
}

void parseBench(benchmark::State& state, const Answer& a, bool fromFile) {
    if (a.text.empty()) {
        state.SkipWithError("real data not available");
        return;
    }
    std::size_t features = 0;
    for (auto _ : state) {
        const std::string text = fromFile ? readWhole(a.path) : std::string();
        auto result = GmlParser::parseFeatureCollection(fromFile ? text : a.text, DataType::budynki);
        features = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.text.size()));
    state.counters["features"] = static_cast<double>(features);
    state.counters["MB"] = static_cast<double>(a.text.size()) / 1e6;
}

void BM_ParseCountyAnswer(benchmark::State& state) { parseBench(state, countyAnswer(), false); }
void BM_ParseCountyAnswerFromFile(benchmark::State& state) { parseBench(state, countyAnswer(), true); }
void BM_ParsePl2000ZonesFromFile(benchmark::State& state) { parseBench(state, zonesAnswer(), true); }

void BM_ParseAndGeoJsonCountyAnswer(benchmark::State& state) {
    const Answer& a = countyAnswer();
    if (a.text.empty()) {
        state.SkipWithError("real data not available");
        return;
    }
    for (auto _ : state) {
        const std::string json =
            featuresToGeoJson(GmlParser::parseFeatureCollection(readWhole(a.path), DataType::budynki));
        benchmark::DoNotOptimize(json.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.text.size()));
}

bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " > /dev/null 2>&1").c_str()) == 0;
}

using ProcessRun = benchsupport::TimedRun;

std::string selfPath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// Whole processes, timed by hand: wall time per run, with CPU time and peak memory as counters.
void processBench(benchmark::State& state, const Answer& a, const std::vector<std::string>& argsBeforePath) {
    if (a.text.empty() || !fs::exists("/usr/bin/time")) {
        state.SkipWithError("real data or GNU time not available");
        return;
    }
    fs::path gfs = a.path;
    gfs.replace_extension(".gfs");
    std::vector<std::string> args = argsBeforePath;
    args.push_back(a.path.string());
    double cpuMs = 0.0, peakMB = 0.0;
    for (auto _ : state) {
        fs::remove(gfs);
        const ProcessRun run = benchsupport::runTimed(args);
        if (!run.ok) {
            state.SkipWithError(("failed: " + args.front()).c_str());
            return;
        }
        state.SetIterationTime(run.wallMs / 1000.0);
        cpuMs += run.cpuMs;
        peakMB = std::max(peakMB, run.peakMB);
    }
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
    state.counters["peak_MB"] = peakMB;
}

void BM_ParseCountyAnswerProcess(benchmark::State& state) {
    processBench(state, countyAnswer(), {selfPath(), "--parse-file"});
}
void BM_GdalOgrinfoSummaryCountyAnswerProcess(benchmark::State& state) {
    if (!haveTool("ogrinfo")) {
        state.SkipWithError("GDAL tools not available");
        return;
    }
    processBench(state, countyAnswer(), {"ogrinfo", "--config", "GML_DOWNLOAD_WFS_SCHEMA", "NO", "-ro", "-al", "-so"});
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a GDAL command on the answer; the schema sidecar (.gfs) GDAL leaves behind is removed first,
// so every run reads the answer as a fresh download, as this parser does.
void gdalBench(benchmark::State& state, const Answer& a, const std::string& commandBeforePath,
               const std::string& after) {
    if (a.text.empty() || !haveTool("ogrinfo")) {
        state.SkipWithError("GDAL tools or real data not available");
        return;
    }
    fs::path gfs = a.path;
    gfs.replace_extension(".gfs");
    const std::string cmd = commandBeforePath + " '" + a.path.string() + "'" + after + " > /dev/null 2>&1";
    const double childCpuBefore = childCpuSeconds();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(gfs);
        fs::remove(fs::temp_directory_path() / "geodraft_bench_gdal.geojson");
        state.ResumeTiming();
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError(("failed: " + cmd).c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * a.text.size()));
    // The tool's own CPU time, comparable with the CPU column of this parser's benchmarks.
    state.counters["tool_cpu_ms"] =
        (childCpuSeconds() - childCpuBefore) * 1000.0 / static_cast<double>(state.iterations());
}

void BM_GdalOgrinfoSummaryCountyAnswer(benchmark::State& state) {
    gdalBench(state, countyAnswer(), "ogrinfo --config GML_DOWNLOAD_WFS_SCHEMA NO -ro -al -so", "");
}
void BM_GdalOgr2ogrGeoJsonCountyAnswer(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "geodraft_bench_gdal.geojson").string();
    gdalBench(state, countyAnswer(), "ogr2ogr --config GML_DOWNLOAD_WFS_SCHEMA NO -f GeoJSON '" + out + "'", "");
}
void BM_GdalOgrinfoSummaryPl2000Zones(benchmark::State& state) {
    gdalBench(state, zonesAnswer(), "ogrinfo --config GML_DOWNLOAD_WFS_SCHEMA NO -ro -al -so", "");
}

}  // namespace

BENCHMARK(BM_ParseCountyAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseCountyAnswerFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParsePl2000ZonesFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseAndGeoJsonCountyAnswer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GdalOgrinfoSummaryCountyAnswer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_GdalOgr2ogrGeoJsonCountyAnswer)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_GdalOgrinfoSummaryPl2000Zones)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ParseCountyAnswerProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
BENCHMARK(BM_GdalOgrinfoSummaryCountyAnswerProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);

// A whole file mapped read-only: the parser reads its text in place, nothing is copied.
struct MappedFile {
    const char* data = nullptr;
    std::size_t size = 0;
    explicit MappedFile(const char* path) {
        const int fd = open(path, O_RDONLY);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > 0) {
            void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (p != MAP_FAILED) {
                data = static_cast<const char*>(p);
                size = static_cast<std::size_t>(st.st_size);
            }
        }
        if (fd >= 0) close(fd);
    }
    ~MappedFile() {
        if (data) munmap(const_cast<char*>(data), size);
    }
};

// `bench_gml --parse-file FILE`: read and parse one answer, then exit (the measured process).
int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--parse-file") == 0) {
        const MappedFile file(argv[2]);
        const gml::GmlParseResult result = GmlParser::parse({file.data, file.size}, DataType::budynki);
        std::printf("%zu\n", result.features.size());
        return result.ok && !result.features.empty() ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
