#include "cloud_ui/CloudFile.h"

#include <system_error>

#include "platform/Paths.h"

namespace cloudui {

namespace fs = std::filesystem;

namespace {

const char* const kWriteFailed = "Nie mozna zapisac pliku e57.";

}  // namespace

CloudFile::CloudFile(fs::path destination) : destination_(std::move(destination)) {}

void CloudFile::open() {
    opened_ = true;
    std::error_code ec;
    target_ = destination_;
    if (fs::is_symlink(destination_, ec)) {
        const fs::path resolved = fs::canonical(destination_, ec);
        if (!ec) target_ = resolved;
    }
    const fs::file_status status = fs::status(target_, ec);
    const bool direct = fs::exists(status) && !fs::is_regular_file(status);
    written_ = target_;
    if (!direct) written_ += platform::uniqueSuffix();
    if (!writer_.open(written_, error_) && error_.empty()) error_ = kWriteFailed;
}

void CloudFile::take(const formats::CloudPoint* points, std::size_t count) {
    if (count == 0) return;
    if (!opened_) open();
    if (error_.empty()) writer_.add(points, count);
}

bool CloudFile::finish(std::string& error) {
    if (!error_.empty()) {
        error = error_;
        return false;
    }
    if (!writer_.close(error)) return false;
    if (written_ == target_) return true;
    std::error_code ec;
    // An earlier file keeps its permissions, as when it was overwritten in place.
    const fs::file_status earlier = fs::status(target_, ec);
    if (fs::is_regular_file(earlier)) fs::permissions(written_, earlier.permissions(), ec);
    fs::rename(written_, target_, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(written_, ignored);
        error = kWriteFailed;
        return false;
    }
    return true;
}

}  // namespace cloudui
