#include "import/FetchContext.h"

#include <algorithm>

namespace importer {

bool FetchContext::wants(const std::string& key) const {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void FetchContext::report(const std::string& line) const {
    if (reportLine) reportLine(line);
}

platform::ProgressCallback FetchContext::progress(const std::string& label) const {
    if (progressFor) return progressFor(label);
    return [](std::int64_t, std::int64_t) { return true; };
}

const std::string& FetchContext::gminaCode() {
    if (!gminaAsked_) {
        gmina_ = net::findGminaTeryt(client, municipalities, frame);
        gminaAsked_ = true;
    }
    return gmina_;
}

double FetchContext::metresPerPixel() const {
    const int scale = (rasterScale >= 100 && rasterScale <= 10000) ? rasterScale : 1000;
    return scale * 0.00028;
}

}  // namespace importer
