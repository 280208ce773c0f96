// The per-user download cache folder and its cleanup.
#pragma once
#include <filesystem>
#include <string>

namespace net {

// Age after which a cached file is removed at the next process start.
constexpr long long kCacheMaxAgeSeconds = 2592000;

// "<data folder>/TERRAVOX/cache", created on demand; the first call in a process cleans it up.
std::filesystem::path cacheDirectory();
// Removes every ".part" file and every file older than 30 days directly inside `folder`.
void cleanupCache(const std::filesystem::path& folder);
// True once cacheDirectory() has run its one cleanup in this process.
bool cacheCleanupDone();
// Lower-case hex SHA-1 of the bytes.
std::string sha1Hex(const std::string& bytes);
// Whether an answer body is an OGC exception document (such an answer is never cached).
bool isOgcExceptionDocument(const std::string& body);

}  // namespace net
