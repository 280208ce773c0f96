// Point-cloud export: quality levels, the accumulator and the steps from LiDAR sheets to an E57 file.
#pragma once
#include "cloud_ui/CloudAccumulator.h"   // CloudAccumulator: crop, map into the zone, offset, voxel thinning
#include "cloud_ui/CloudController.h"    // CloudController: the point-cloud palette's handlers and workers
#include "cloud_ui/CloudDownload.h"      // downloadCloud: LiDAR index, sheets through the cache, E57
#include "cloud_ui/CloudExport.h"        // makeAccumulator, finishCloud, exportCloud: sheets on disk to E57
#include "cloud_ui/CloudFile.h"          // CloudFile: the E57 file an export streams into, moved into place
#include "cloud_ui/CloudJob.h"           // CloudJob: frame, level, zone and origin override of one export
#include "cloud_ui/CloudResult.h"        // CloudResult: file, origin, local bounds and count of an export
#include "cloud_ui/CloudSheet.h"         // CloudSheet: a sheet file and its grid (PL-1992 or a PL-2000 zone)
#include "cloud_ui/CloudSink.h"          // CloudSink: where kept points go, block by block
#include "cloud_ui/Detail.h"             // Detail: lekki / standard / full, thinning spacing, point estimate
#include "cloud_ui/HardLimitExceeded.h"  // HardLimitExceeded, kCloudPointLimit: the 8,000,000-point cap
#include "cloud_ui/SheetImport.h"        // importSheet: one sheet into an accumulator, PL-2000 sheets converted
#include "cloud_ui/VoxelSet.h"           // VoxelSet: occupied thinning voxels
