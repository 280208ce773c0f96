#include "net/DownloadCache.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <system_error>

#include "platform/Numbers.h"
#include "platform/Paths.h"

namespace net {

namespace fs = std::filesystem;

namespace {
std::atomic<bool> cleanupDone{false};

// The add-on's per-user data folder (local application data); the cache lives inside it.
fs::path addonDataFolder() { return platform::cacheDir() / "TERRAVOX"; }

bool asciiEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}
}  // namespace

fs::path cacheDirectory() {
    const fs::path folder = addonDataFolder() / "cache";
    std::error_code ec;
    fs::create_directories(folder, ec);
    // The folder names what the user looked at: private, as every file in it.
    ::chmod(addonDataFolder().c_str(), 0700);
    ::chmod(folder.c_str(), 0700);
    static std::once_flag once;
    std::call_once(once, [&] {
        cleanupCache(folder);
        cleanupDone = true;
    });
    return folder;
}

bool cacheCleanupDone() { return cleanupDone; }

void cleanupCache(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return;
    const auto now = fs::file_time_type::clock::now();
    const auto maxAge = std::chrono::seconds(kCacheMaxAgeSeconds);
    for (const auto& entry : it) {
        std::error_code entryError;
        if (!entry.is_regular_file(entryError)) continue;
        const std::string name = entry.path().filename().string();
        if (name.find(".part") != std::string::npos) {
            fs::remove(entry.path(), entryError);
            continue;
        }
        const auto written = entry.last_write_time(entryError);
        if (!entryError && now - written > maxAge) fs::remove(entry.path(), entryError);
    }
}

std::string sha1Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha1(), nullptr) != 1) return {};
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) hex += platform::cformat("%02x", digest[i]);
    return hex;
}

bool isOgcExceptionDocument(const std::string& body) {
    std::string_view text(body.data(), std::min<std::size_t>(body.size(), 8192));
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // Skip blanks, the XML declaration, processing instructions, comments and a DOCTYPE before the root.
    for (;;) {
        while (!text.empty() && (text[0] == ' ' || text[0] == '\t' || text[0] == '\r' || text[0] == '\n'))
            text.remove_prefix(1);
        if (text.substr(0, 2) == "<?") {
            const auto end = text.find("?>");
            if (end == std::string_view::npos) return false;
            text.remove_prefix(end + 2);
        } else if (text.substr(0, 4) == "<!--") {
            const auto end = text.find("-->");
            if (end == std::string_view::npos) return false;
            text.remove_prefix(end + 3);
        } else if (text.substr(0, 2) == "<!") {
            const auto end = text.find('>');
            if (end == std::string_view::npos) return false;
            text.remove_prefix(end + 1);
        } else {
            break;
        }
    }
    if (text.empty() || text[0] != '<') return false;
    text.remove_prefix(1);
    const auto nameEnd = text.find_first_of(" \t\r\n/>");
    std::string_view name = text.substr(0, nameEnd);
    const auto colon = name.rfind(':');
    if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
    return asciiEqualNoCase(name, "ExceptionReport") || asciiEqualNoCase(name, "ServiceExceptionReport");
}

}  // namespace net
