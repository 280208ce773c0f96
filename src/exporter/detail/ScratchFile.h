// An unnamed temporary file for a part of an export that must be written after something computed later (a
// glTF's binary chunk, a DXF's entities): it never shows in a folder and vanishes when closed or when the
// process ends, however it ends.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Paths.h"

namespace exporter::detail {

class ScratchFile {
public:
    // Opened in `near` (the export's folder, so the bytes stay on its disk), else in the temporary folder.
    explicit ScratchFile(const std::filesystem::path& near);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // False once anything failed (the file could not be made or a write failed).
    bool ok() const { return file_ != nullptr && !failed_; }
    void write(std::string_view bytes);
    std::uint64_t size() const { return size_; }
    // Hands everything written so far to the sink in pieces; false when reading or the sink failed.
    bool copyTo(const platform::ByteSink& sink);

private:
    std::FILE* file_ = nullptr;
    std::string buffer_;  // collects small writes
    std::uint64_t size_ = 0;
    bool failed_ = false;
    void flushBuffer();
};

}  // namespace exporter::detail
