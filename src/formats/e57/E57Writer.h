// Writes coloured points as a one-scan E57 file that point-cloud importers read.
#pragma once
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/CloudPoint.h"

namespace e57 {

// Streams points into an E57 file block by block, holding only one packet and a few pages, so
// a cloud of any size is written without being held whole.
// Usage: open(path); add(block) any number of times; close(). Errors: "Brak punktow do zapisu."
// (nothing added) or "Nie mozna zapisac pliku e57."; a writer that fails, or is destroyed
// before close(), removes its half-written file.
class E57Writer {
public:
    E57Writer();
    ~E57Writer();
    E57Writer(const E57Writer&) = delete;
    E57Writer& operator=(const E57Writer&) = delete;

    // Creates or replaces the file at `path`.
    bool open(const std::filesystem::path& path, std::string& error);
    // Appends points (single-precision coordinates, 8-bit colour); blocks may have any size.
    void add(const formats::CloudPoint* points, std::size_t count);
    // Writes the XML section and the file header; true when the whole file reached the disk.
    bool close(std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The whole list at once, the same bytes as one E57Writer given every point.
bool writeE57(const std::filesystem::path& path, const std::vector<formats::CloudPoint>& points, std::string& error);

}  // namespace e57
