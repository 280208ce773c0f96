#include "formats/e57/detail/PageWriter.h"

#include <cstring>

#include "formats/e57/detail/Crc32c.h"
#include "platform/ByteOrder.h"

namespace e57::detail {

namespace {

// 256 pages: few enough write calls, small enough to stay in the cache.
constexpr std::size_t kBufferPages = 256;

}  // namespace

PageWriter::PageWriter(std::FILE* file) : file_(file), buffer_(kBufferPages * kPageBytes) { page_ = buffer_.data(); }

void PageWriter::put(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t take = std::min(size, kPageDataBytes - fill_);
        std::memcpy(page_ + fill_, p, take);
        fill_ += take;
        p += take;
        size -= take;
        if (fill_ == kPageDataBytes) sealPage();
    }
}

void PageWriter::patchFirstPage(std::size_t offset, const void* data, std::size_t size) {
    if (pagesDone_ == 0) {
        std::memcpy(page_ + offset, data, size);  // still being filled: sealed with the patch in place
        return;
    }
    std::memcpy(first_ + offset, data, size);
    firstPatched_ = true;
}

void PageWriter::sealPage() {
    platform::writeBigEndian32(page_ + kPageDataBytes, crc32c(page_, kPageDataBytes));
    if (pagesDone_ == 0) std::memcpy(first_, page_, kPageBytes);
    ++pagesDone_;
    fill_ = 0;
    if (++pagesBuffered_ == kBufferPages) flush();
    page_ = buffer_.data() + pagesBuffered_ * kPageBytes;
}

void PageWriter::flush() {
    const std::size_t bytes = pagesBuffered_ * kPageBytes;
    if (ok_ && bytes > 0 && std::fwrite(buffer_.data(), 1, bytes, file_) != bytes) ok_ = false;
    pagesBuffered_ = 0;
}

bool PageWriter::finish() {
    if (fill_ > 0) {
        std::memset(page_ + fill_, 0, kPageDataBytes - fill_);
        fill_ = kPageDataBytes;
        sealPage();
    }
    flush();
    if (ok_ && firstPatched_) {
        platform::writeBigEndian32(first_ + kPageDataBytes, crc32c(first_, kPageDataBytes));
        ok_ = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
              std::fwrite(first_, 1, kPageBytes, file_) == kPageBytes;
    }
    return ok_;
}

}  // namespace e57::detail
