// geodraft cloud-export: LiDAR sheets on disk to one E57 file, cropped, thinned and offset exactly as the
// point-cloud palette does it after downloading.
#include <unistd.h>
#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "cloud_ui/CloudUi.h"
#include "geodesy/Crs.h"
#include "lidar/LasSheet.h"
#include "platform/Numbers.h"

using platform::cformat, platform::parseDouble, platform::parseInt, platform::streamNumber;

namespace {

const char* const kUsage =
    "uzycie: geodraft cloud-export --frame MINX,MINY,MAXX,MAXY --zone EPSG --detail lekki|standard|full "
    "[--origin E,N,Z] --out PLIK.e57 ARKUSZ.las|laz...\n"
    "  --frame   kadr w PL-1992 (EPSG 2180), metry\n"
    "  --zone    docelowa strefa PL-2000: 2176, 2177, 2178 lub 2179\n"
    "  --origin  poczatek ukladu lokalnego (domyslnie rog kadru w strefie, wysokosc 0)\n"
    "  arkusze w PL-1992 lub w strefie PL-2000 (rozpoznawanej po zasiegu wspolrzednych)\n";

int usageError(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseNumbers(const std::string& text, std::size_t count, std::vector<double>& out) {
    out.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        double v;
        // "inf" and "nan" parse as numbers but make no frame or origin.
        if (!parseDouble(
                std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                v) ||
            !std::isfinite(v))
            return false;
        out.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out.size() == count;
}

// Redraws one status line on a terminal; elsewhere (logs, pipes) prints only the per-sheet milestones.
class ProgressBar {
public:
    ProgressBar() : tty_(isatty(STDERR_FILENO) == 1) {}
    ~ProgressBar() { done(); }

    void show(const std::string& label, double pct) {
        if (pct < 0) pct = 0;
        if (pct > 100) pct = 100;
        if (!tty_) {
            if (label != lastLabel_ && label.rfind("Kafel", 0) != 0) {
                std::fprintf(stderr, "%s %s%%\n", label.c_str(), cformat("%.0f", pct).c_str());
            }
            lastLabel_ = label;
            return;
        }
        const int width = 30;
        const int filled = static_cast<int>(pct / 100.0 * width);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '.');
        std::string line = "[" + bar + "] " + cformat("%3.0f", pct) + "% " + label;
        if (line.size() < lastWidth_) line.append(lastWidth_ - line.size(), ' ');
        lastWidth_ = line.size();
        std::fprintf(stderr, "\r%s", line.c_str());
        std::fflush(stderr);
        open_ = true;
    }

    void done() {
        if (open_) std::fputc('\n', stderr);
        open_ = false;
    }

private:
    bool tty_;
    bool open_ = false;
    std::size_t lastWidth_ = 0;
    std::string lastLabel_;
};

}  // namespace

int cmdCloudExport(int argc, char** argv) {
    cloudui::CloudJob job;
    bool haveFrame = false, haveZone = false, haveDetail = false;
    std::string out;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") return usageError("");
        if (arg == "--frame" || arg == "--zone" || arg == "--detail" || arg == "--out" || arg == "--origin") {
            if (!hasValue) return usageError("Brak wartosci dla " + arg);
            const std::string value = argv[++i];
            std::vector<double> v;
            if (arg == "--frame") {
                if (!parseNumbers(value, 4, v) || !(v[0] < v[2]) || !(v[1] < v[3]))
                    return usageError("Nieprawidlowy bbox");
                job.frame = {v[0], v[1], v[2], v[3]};
                haveFrame = true;
            } else if (arg == "--zone") {
                long long epsg = 0;
                if (!parseInt(value, epsg) || !geodesy::isPl2000Epsg(epsg))
                    return usageError("Nieobslugiwany EPSG PL-2000");
                job.zone = static_cast<int>(epsg);
                haveZone = true;
            } else if (arg == "--detail") {
                if (value != "lekki" && value != "standard" && value != "full")
                    return usageError("Nieznana jakosc: " + value + " (lekki, standard lub full)");
                job.detail = cloudui::detailFromText(value);
                haveDetail = true;
            } else if (arg == "--origin") {
                if (!parseNumbers(value, 3, v)) return usageError("Nieprawidlowy poczatek ukladu: " + value);
                job.originE = v[0];
                job.originN = v[1];
                job.originZ = v[2];
                job.useOrigin = true;
            } else {
                out = value;
            }
        } else if (arg.rfind("--", 0) == 0) {
            return usageError("Nieznana opcja: " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (!haveFrame || !haveZone || !haveDetail || out.empty() || files.empty()) return usageError("");

    // Each sheet's grid is judged from its extent, as the header carries no usable code in many sheets.
    std::vector<cloudui::CloudSheet> sheets;
    for (const std::string& f : files) {
        cloudui::CloudSheet sheet{f, 0};
        lidar::LasSheet probe;
        if (probe.open(f)) sheet.epsg = lidar::LasSheet::epsgFromExtent(probe.header());
        sheets.push_back(sheet);
    }

    ProgressBar bar;
    bar.show("Przetwarzanie kafli LiDAR", 0);
    const cloudui::CloudResult r = cloudui::exportCloud(
        job, sheets, out, [&](const std::string& label, double pct) { bar.show(label, pct); }, nullptr,
        std::max(1u, std::thread::hardware_concurrency()));
    bar.done();
    if (!r.losses.empty()) std::fprintf(stderr, "uwaga: %s\n", r.losses.c_str());
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    std::printf("zapisano: %s\n", r.path.string().c_str());
    std::printf("punktow=%zu placeEpsg=%d kafli=%zu\n", r.count, r.zone, r.sheetsProcessed);
    std::printf("offset offE=%s offN=%s\n", cformat("%.3f", r.offE).c_str(), cformat("%.3f", r.offN).c_str());
    std::printf("bbox lokalny lx[%s..%s] ly[%s..%s] z[%s..%s]\n", streamNumber(r.minX).c_str(),
                streamNumber(r.maxX).c_str(), streamNumber(r.minY).c_str(), streamNumber(r.maxY).c_str(),
                streamNumber(r.minZ).c_str(), streamNumber(r.maxZ).c_str());
    return 0;
}
