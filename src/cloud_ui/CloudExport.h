// Turns LiDAR sheets on disk into one E57 file: the steps of an export after the sheets are downloaded.
#pragma once
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cloud_ui/CloudAccumulator.h"
#include "cloud_ui/CloudFile.h"
#include "cloud_ui/CloudJob.h"
#include "cloud_ui/CloudResult.h"
#include "cloud_ui/CloudSheet.h"

namespace cloudui {

// Progress for the user: a label and a percentage 0..100. The label says which sheet and how many of
// its points, which a (done, total) pair alone cannot carry across sheets.
using CloudProgressFn = std::function<void(const std::string& label, double pct)>;

// The accumulator for a job: spacing by level, affine map into the zone, default origin or the override.
CloudAccumulator makeAccumulator(const CloudJob& job);

// Finishes an export whose accumulator streams into `file`: fails with the no-points text when nothing was kept
// (no file is made), else completes the E57 file and records the origin, the local bounds and the count.
CloudResult finishCloud(CloudAccumulator& accumulator, CloudFile& file);

// The whole export from local sheets, in order, the kept points streaming into the file; failures come back as
// the result's message, never thrown, and leave no file (an earlier one at `out` stays as it was).
// `cancel` (may be null) is polled before each sheet and while reading; `threads` decode each LAZ sheet.
CloudResult exportCloud(const CloudJob& job, const std::vector<CloudSheet>& sheets, const std::filesystem::path& out,
                        const CloudProgressFn& progress = {}, const std::atomic<bool>* cancel = nullptr,
                        unsigned threads = 1);

}  // namespace cloudui
