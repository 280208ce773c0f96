// Geodata formats: what the readers and writers of this folder produce and take.
#pragma once
#include "formats/ArithmeticDecoder.h"  // ArithmeticDecoder: bounded decoder of the LASzip arithmetic code
#include "formats/ArithmeticEncoder.h"  // ArithmeticEncoder: encoder of the LASzip arithmetic code
#include "formats/AsciiGrid.h"          // parseAsciiGrid, readAsciiGridFile, sampleGrid, mosaicSample: ESRI ASCII grids
#include "formats/AsciiGridStatus.h"    // AsciiGridStatus: outcome of reading a grid, with the failing line
#include "formats/CloudPoint.h"         // CloudPoint: x, y, z with 8-bit colour and a LAS class byte
#include "formats/Crc32c.h"             // crc32c: the Castagnoli checksum of E57 pages
#include "formats/DataType.h"           // DataType: the 32-bit data type codes 0..19 named after their keys
#include "formats/E57Writer.h"          // writeE57: one-scan E57 file from a list of CloudPoints
#include "formats/ElevationGrid.h"      // ElevationGrid: one elevation sheet, values row-major from the top
#include "formats/GisFeature.h"         // GisPoint, GisPolygon, GisFeature; featuresToGeoJson, validUtf8
#include "formats/GmlParser.h"          // GmlParser::parseFeatureCollection / parse (GmlParseResult), parseEpsgCode
#include "formats/LasHeader.h"          // LasHeader: the public header block of a LAS/LAZ file as plain values
#include "formats/LasHeaderIo.h"        // parseLasHeader / encodeLasHeader, lasCoreRecordSize, lasHeaderSizeForVersion
#include "formats/LasReader.h"  // LasReader (LasReadOptions): header, then raw point records in file order, LAS or LAZ
#include "formats/LasRecordTally.h"     // LasRecordTally: counts, counts by return and bounds of written records
#include "formats/LasStatus.h"          // LasStatus: ok, or a Polish message and where a LAS/LAZ operation failed
#include "formats/LasWriter.h"          // LasWriter: uncompressed LAS from raw records
#include "formats/LazGpsTimeCodec.h"    // LazGpsTimeCodec: GPS times predicted from up to four sequences
#include "formats/LazIntegerCodec.h"    // LazIntegerCodec: integers coded as corrections to a prediction
#include "formats/LazLayeredCodec.h"    // LazLayeredCodec: chunk codec of point formats 6..8 (layers, scanner channels)
#include "formats/LazPointwiseCodec.h"  // LazPointwiseCodec: chunk codec of point formats 0..3
#include "formats/LazRgbCodec.h"        // LazRgbCodec: colour bytes coded against the last colour
#include "formats/LazVlr.h"     // LazVlr, LazItem: the LASzip description record; parse, encode, defaults per format
#include "formats/LazWriter.h"  // LazWriter (LazWriteOptions): LAZ, pointwise for formats 0..3, layered for 6..8
