#include "exporter/detail/NumberText.h"

#include <charconv>
#include <cmath>

namespace exporter::detail {

void appendDecimal(std::string& out, double v, int decimals, bool point) {
    if (!std::isfinite(v)) v = 0.0;
    char buf[400];  // the largest double in fixed notation has 309 digits
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    char* last = end;
    if (decimals > 0) {
        while (last[-1] == '0') --last;
        if (last[-1] == '.') --last;
    }
    std::string_view text(buf, static_cast<std::size_t>(last - buf));
    if (text == "-0") text = "0";
    out.append(text);
    if (point && text.find('.') == std::string_view::npos) out += '.';
}

}  // namespace exporter::detail
