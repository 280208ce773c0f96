// A whole file's bytes, read-only: mapped into memory, or read into a buffer where mapping fails.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

class MappedFile {
public:
    enum class OpenResult { ok, cannotOpen, notRegularFile };

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Maps the file (an empty or unmappable file is read instead; a short read keeps what was read).
    OpenResult open(const std::filesystem::path& path);
    void close();

    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }

private:
    void* map_ = nullptr;
    std::size_t mapSize_ = 0;
    std::string buffer_;
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
};

}  // namespace platform
