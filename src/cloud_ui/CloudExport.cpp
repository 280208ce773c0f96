#include "cloud_ui/CloudExport.h"

#include <algorithm>
#include <exception>

#include "cloud_ui/SheetImport.h"
#include "lidar/SheetLosses.h"
#include "platform/Numbers.h"

namespace cloudui {

namespace {

const char* const kCancelled = "Anulowano.";
const char* const kNoSheet = "Nie udalo sie pobrac zadnego kafla LiDAR dla tego obszaru.";
const char* const kNoPoints = "Brak punktow w wybranym obszarze (po przycieciu do kadru).";

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

CloudResult failure(std::string message) {
    CloudResult r;
    r.message = std::move(message);
    return r;
}

}  // namespace

CloudAccumulator makeAccumulator(const CloudJob& job) {
    CloudAccumulator acc(job.frame, thinningSpacing(job.detail), job.zone);
    if (job.useOrigin) acc.overrideOrigin(job.originE, job.originN, job.originZ);
    return acc;
}

CloudResult finishCloud(CloudAccumulator& accumulator, CloudFile& file) {
    accumulator.flush();
    if (accumulator.size() == 0) return failure(kNoPoints);
    std::string error;
    if (!file.finish(error)) return failure("Blad zapisu E57: " + error);
    CloudResult r;
    r.ok = true;
    r.path = file.destination();
    r.offE = accumulator.originE();
    r.offN = accumulator.originN();
    r.zone = accumulator.targetEpsg();
    r.count = accumulator.size();
    const CloudAccumulator::Bounds& b = accumulator.bounds();
    r.minX = b.minX;
    r.maxX = b.maxX;
    r.minY = b.minY;
    r.maxY = b.maxY;
    r.minZ = b.minZ;
    r.maxZ = b.maxZ;
    return r;
}

CloudResult exportCloud(const CloudJob& job, const std::vector<CloudSheet>& sheets, const std::filesystem::path& out,
                        const CloudProgressFn& progress, const std::atomic<bool>* cancel, unsigned threads) {
    lidar::SheetLosses losses;
    std::size_t processed = 0;
    CloudResult result;
    try {
        CloudFile file(out);
        CloudAccumulator acc = makeAccumulator(job);
        acc.setSink(&file);
        const std::size_t n = sheets.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (cancelled(cancel)) return failure(kCancelled);
            const std::string prefix = "Kafel " + std::to_string(i + 1) + "/" + std::to_string(n) + ": ";
            auto onPoints = [&](std::uint64_t done, std::uint64_t total) {
                if (progress) {
                    const double part =
                        total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 0.0;
                    progress(prefix + std::to_string(done) +
                                 (total > 0 ? " / " + std::to_string(total) : std::string()) + " pkt",
                             (static_cast<double>(i) + part) * 100.0 / static_cast<double>(n));
                }
                return !cancelled(cancel);
            };
            const lidar::SheetRead sheet = importSheet(sheets[i].path, sheets[i].epsg, acc, onPoints, threads);
            if (sheet.cancelled) return failure(kCancelled);
            losses.record(sheets[i].path.filename().string(), sheet);
            if (!sheet.usable) continue;
            ++processed;
            if (progress)
                progress("Przetwarzanie kafli LiDAR", static_cast<double>(i + 1) * 100.0 / static_cast<double>(n));
        }
        if (processed == 0) {
            result = failure(kNoSheet);
        } else {
            result = finishCloud(acc, file);
        }
    } catch (const HardLimitExceeded& e) {
        result = failure(e.what());
    } catch (const std::exception& e) {
        result = failure(std::string("Blad pobierania chmury: ") + e.what());
    }
    result.sheetsProcessed = processed;
    result.losses = losses.describe(sheets.size());
    return result;
}

}  // namespace cloudui
