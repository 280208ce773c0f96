// The side index of a county package ("<package>.idx"): every sheet's entry name and extent, so that later
// fetches find the sheets of a frame without inflating them.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "buildings/PackageSheet.h"

namespace buildings {

// First line of an index file begins with the tag; this whole first line marks extents that cover the data of
// every sheet. An index without it was built from the sheets' first envelopes alone and is built again.
inline constexpr const char* kSheetIndexTag = "B3DIDX1";
inline constexpr const char* kSheetIndexFirstLine = "B3DIDX1 extent=data";

// The index file of a package: its path followed by ".idx".
std::filesystem::path sheetIndexPath(const std::filesystem::path& package);
// The index text: the first line, then "name\tminx\tminy\tmaxx\tmaxy\n" per sheet with three decimals.
std::string sheetIndexText(const std::vector<PackageSheet>& sheets);
// The sheets of an index text; none when the tag is missing. Lines without a name or four numbers are skipped.
std::vector<PackageSheet> parseSheetIndex(std::string_view text);
// Reads the index file beside the package (no sheet when absent, unreadable or without the whole first line).
std::vector<PackageSheet> readSheetIndex(const std::filesystem::path& package);
// Writes the index file beside the package; false when it cannot be written.
bool writeSheetIndex(const std::filesystem::path& package, const std::vector<PackageSheet>& sheets);

}  // namespace buildings
