#include "ZipWriter.h"

#include <stdexcept>

#include <zlib.h>

namespace sim {

namespace {

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, unsigned long v) {
    put16(out, static_cast<unsigned>(v & 0xFFFF));
    put16(out, static_cast<unsigned>((v >> 16) & 0xFFFF));
}

std::string rawDeflate(const std::string& bytes) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

}  // namespace

void ZipWriter::add(const std::string& name, const std::string& bytes) {
    const std::string packed = rawDeflate(bytes);
    Entry e{name, crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())),
            bytes.size(), data_.size(), packed.size()};
    put32(data_, 0x04034b50);
    put16(data_, 20);      // version needed
    put16(data_, 0);       // flags
    put16(data_, 8);       // deflate
    put16(data_, 0);       // time
    put16(data_, 0x5A21);  // date (2025-01-01)
    put32(data_, e.crc);
    put32(data_, e.packedSize);
    put32(data_, e.size);
    put16(data_, static_cast<unsigned>(name.size()));
    put16(data_, 0);
    data_ += name;
    data_ += packed;
    entries_.push_back(e);
}

std::string ZipWriter::finish() const {
    std::string out = data_;
    const std::size_t start = out.size();
    for (const Entry& e : entries_) {
        put32(out, 0x02014b50);
        put16(out, 20);  // made by
        put16(out, 20);  // needed
        put16(out, 0);
        put16(out, 8);
        put16(out, 0);
        put16(out, 0x5A21);
        put32(out, e.crc);
        put32(out, e.packedSize);
        put32(out, e.size);
        put16(out, static_cast<unsigned>(e.name.size()));
        put16(out, 0);  // extra
        put16(out, 0);  // comment
        put16(out, 0);  // disk
        put16(out, 0);  // internal attributes
        put32(out, 0);  // external attributes
        put32(out, e.offset);
        out += e.name;
    }
    const std::size_t size = out.size() - start;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(entries_.size()));
    put16(out, static_cast<unsigned>(entries_.size()));
    put32(out, size);
    put32(out, start);
    put16(out, 0);
    return out;
}

}  // namespace sim
