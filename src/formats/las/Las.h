// The LAS/LAZ library's public interface: include this one header to read or write point clouds.
#pragma once

#include "formats/las/LasHeader.h"    // LasHeader: the public header block as plain values
#include "formats/las/LasHeaderIo.h"  // parseLasHeader, encodeLasHeader, lasCoreRecordSize, lasHeaderSizeForVersion
#include "formats/las/LasReader.h"    // LasReader: LAS and LAZ records in file order (LasReadOptions: threads)
#include "formats/las/LasRecordSummary.h"  // LasRecordSummary: classes, bounds and hash of raw records (las-info)
#include "formats/las/LasRecordTally.h"    // LasRecordTally: counts and bounds of raw records for a header
#include "formats/las/LasStatus.h"         // LasStatus: ok, or a Polish message and where it went wrong
#include "formats/las/LasWriter.h"         // LasWriter: uncompressed LAS from raw records
#include "formats/las/LazWriter.h"         // LazWriter: LASzip-compressed LAZ from raw records (LazWriteOptions)
