// Small text helpers for URLs and byte counts.
#pragma once
#include <string>

namespace net {

// The host part of a URL: after the first "://" up to the next "/" (the whole URL when it has no "://").
std::string hostOfUrl(const std::string& url);
// Percent-encodes every byte except ASCII letters, digits and "-._~" (upper-case hex).
std::string urlEncode(const std::string& text);
// "1023 B", "1,5 KB", "1,0 MB": one decimal with a decimal comma.
std::string formatByteSize(long long bytes);

}  // namespace net
