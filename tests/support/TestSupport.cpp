#include "support/TestSupport.h"

#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

std::filesystem::path realdataDir() {
    if (const char* env = std::getenv("GEODRAFT_REALDATA")) return env;
    return GEODRAFT_REALDATA_DIR;
}

std::filesystem::path realdata(const std::string& relative) {
    auto dir = realdataDir();
    if (!std::filesystem::exists(dir)) return {};
    return dir / relative;
}

std::filesystem::path sourceDir() { return GEODRAFT_SOURCE_DIR; }
std::filesystem::path binaryDir() { return GEODRAFT_BINARY_DIR; }

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    auto base = std::filesystem::temp_directory_path() /
                ("geodraft-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    path = base;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testsupport
