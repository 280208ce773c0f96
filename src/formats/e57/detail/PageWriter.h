// Cuts an E57 file's logical byte stream into 1024-byte pages, each 1020 data bytes and a CRC-32C.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace e57::detail {

// Pages are gathered in a buffer of a fixed size and written whole, so memory stays flat whatever
// the size of the file. The first page holds the file header, known only at the end: it can be
// patched after it was written and is then rewritten in place by finish().
class PageWriter {
public:
    static constexpr std::size_t kPageBytes = 1024;
    static constexpr std::size_t kPageDataBytes = 1020;

    explicit PageWriter(std::FILE* file);

    void put(const void* data, std::size_t size);
    // Replaces logical bytes [offset, offset + size) of the first page.
    void patchFirstPage(std::size_t offset, const void* data, std::size_t size);
    // Logical bytes put so far.
    std::uint64_t logicalSize() const { return pagesDone_ * kPageDataBytes + fill_; }
    // Zero-fills the last page, writes everything; true when every byte reached the file.
    bool finish();

private:
    void sealPage();
    void flush();

    std::FILE* file_;
    std::vector<unsigned char> buffer_;
    unsigned char* page_;          // the page being filled, inside buffer_
    std::size_t fill_ = 0;         // data bytes in page_
    std::uint64_t pagesDone_ = 0;  // pages sealed so far
    std::size_t pagesBuffered_ = 0;
    unsigned char first_[kPageBytes] = {};  // copy of the first page once sealed
    bool firstPatched_ = false;
    bool ok_ = true;
};

}  // namespace e57::detail
