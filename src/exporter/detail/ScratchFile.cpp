#include "exporter/detail/ScratchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace exporter::detail {

namespace {
constexpr std::size_t kBufferBytes = 1 << 20;
}

ScratchFile::ScratchFile(const std::filesystem::path& near) {
    // O_TMPFILE: a file without a name, on the export's own disk; tmpfile() where the file system has none.
    const int fd = ::open(near.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        file_ = ::fdopen(fd, "w+b");
        if (!file_) ::close(fd);
    }
    if (!file_) file_ = std::tmpfile();
    buffer_.reserve(kBufferBytes);
}

ScratchFile::~ScratchFile() {
    if (file_) std::fclose(file_);
}

void ScratchFile::flushBuffer() {
    if (!buffer_.empty() && file_ && !failed_ &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        failed_ = true;
    buffer_.clear();
}

void ScratchFile::write(std::string_view bytes) {
    size_ += bytes.size();
    if (buffer_.size() + bytes.size() > kBufferBytes) flushBuffer();
    if (bytes.size() >= kBufferBytes) {
        if (file_ && !failed_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
        return;
    }
    buffer_.append(bytes);
}

bool ScratchFile::copyTo(const platform::ByteSink& sink) {
    flushBuffer();
    if (!ok() || std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) return false;
    std::vector<char> piece(kBufferBytes);
    std::uint64_t left = size_;
    while (left > 0) {
        const std::size_t n = std::fread(piece.data(), 1, piece.size(), file_);
        if (n == 0) return false;
        if (!sink(std::string_view(piece.data(), n))) return false;
        left -= std::min<std::uint64_t>(left, n);
    }
    return std::fseek(file_, 0, SEEK_END) == 0;
}

}  // namespace exporter::detail
