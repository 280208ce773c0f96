#include "platform/Numbers.h"

#include <locale.h>
#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <locale>
#include <sstream>

namespace platform {

namespace {
locale_t classicLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

std::string_view trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\r' || t.front() == '\n'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n'))
        t.remove_suffix(1);
    return t;
}
}  // namespace

std::string cformat(const char* fmt, ...) {
    // uselocale switches only this thread, so workers formatting at the same time are unaffected.
    locale_t previous = uselocale(classicLocale());
    va_list args;
    va_start(args, fmt);
    char buf[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    std::string out;
    if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
        out.assign(buf, static_cast<size_t>(n));
    } else if (n >= 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, copy);
        out.resize(static_cast<size_t>(n));
    }
    va_end(copy);
    va_end(args);
    uselocale(previous);
    return out;
}

std::string streamNumber(double value) {
    std::ostringstream ss;
    ss.imbue(std::locale::classic());
    ss << value;
    return ss.str();
}

bool parseDouble(std::string_view text, double& out) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto res = std::from_chars(text.data(), text.data() + text.size(), out);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

bool parseInt(std::string_view text, long long& out) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto res = std::from_chars(text.data(), text.data() + text.size(), out);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

}  // namespace platform
