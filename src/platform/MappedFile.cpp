#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace platform {

MappedFile::~MappedFile() { close(); }

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this == &other) return *this;
    close();
    map_ = std::exchange(other.map_, nullptr);
    mapSize_ = std::exchange(other.mapSize_, 0);
    buffer_ = std::move(other.buffer_);
    other.buffer_.clear();
    size_ = std::exchange(other.size_, 0);
    data_ = map_ ? static_cast<const std::uint8_t*>(map_) : reinterpret_cast<const std::uint8_t*>(buffer_.data());
    other.data_ = nullptr;
    return *this;
}

void MappedFile::close() {
    if (map_) munmap(map_, mapSize_);
    map_ = nullptr;
    mapSize_ = 0;
    buffer_.clear();
    data_ = nullptr;
    size_ = 0;
}

MappedFile::OpenResult MappedFile::open(const std::filesystem::path& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return OpenResult::cannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenResult::notRegularFile;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    if (size_ > 0) {
        void* m = mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            map_ = m;
            mapSize_ = static_cast<std::size_t>(size_);
            data_ = static_cast<const std::uint8_t*>(m);
        }
    }
    if (!map_) {
        buffer_.resize(static_cast<std::size_t>(size_));
        std::size_t got = 0;
        while (got < buffer_.size()) {
            const ssize_t r = ::pread(fd, buffer_.data() + got, buffer_.size() - got, static_cast<off_t>(got));
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        buffer_.resize(got);
        size_ = got;
        data_ = reinterpret_cast<const std::uint8_t*>(buffer_.data());
    }
    ::close(fd);
    return OpenResult::ok;
}

}  // namespace platform
