// Geodata formats: what the readers and writers of this folder produce and take.
#pragma once
#include "formats/AsciiGrid.h"   // parseAsciiGrid, readAsciiGridFile, sampleGrid, mosaicSample: ESRI ASCII grids
#include "formats/AsciiGridStatus.h"  // AsciiGridStatus: outcome of reading a grid, with the failing line
#include "formats/CloudPoint.h"  // CloudPoint: x, y, z with 8-bit colour and a LAS class byte
#include "formats/Crc32c.h"      // crc32c: the Castagnoli checksum of E57 pages
#include "formats/DataType.h"    // DataType: the 32-bit data type codes 0..19 named after their keys
#include "formats/E57Writer.h"   // writeE57: one-scan E57 file from a list of CloudPoints
#include "formats/ElevationGrid.h"  // ElevationGrid: one elevation sheet, values row-major from the top
#include "formats/GisFeature.h"  // GisPoint, GisPolygon, GisFeature; featuresToGeoJson, validUtf8
#include "formats/GmlParser.h"   // GmlParser::parseFeatureCollection / parse (GmlParseResult), parseEpsgCode
