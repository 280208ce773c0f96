// A zip archive built in memory (deflated entries), as the open-data portal packs its county packages.
#pragma once
#include <string>
#include <vector>

namespace sim {

class ZipWriter {
public:
    // Adds an entry, deflated.
    void add(const std::string& name, const std::string& bytes);
    // The whole archive: entries, central directory and its end record.
    std::string finish() const;

private:
    struct Entry {
        std::string name;
        unsigned long crc = 0;
        std::size_t size = 0;
        std::size_t offset = 0;
        std::size_t packedSize = 0;
    };
    std::string data_;
    std::vector<Entry> entries_;
};

}  // namespace sim
