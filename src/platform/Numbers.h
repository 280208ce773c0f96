// Locale-independent number printing and parsing: the process locale never changes a number's text.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting in the classic "C" locale, whatever the process locale is.
std::string cformat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The value as the default C++ stream prints it (six significant digits), classic locale.
std::string streamNumber(double value);
// Parses a whole text as a double ("C" syntax, leading/trailing blanks allowed); false when it is not one.
bool parseDouble(std::string_view text, double& out);
// Parses a whole text as a 64-bit integer; false when it is not one.
bool parseInt(std::string_view text, long long& out);

}  // namespace platform
