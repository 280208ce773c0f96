#include "cloud_ui/Detail.h"

namespace cloudui {

Detail detailFromText(std::string_view text) {
    if (text == "lekki") return Detail::Lekki;
    if (text == "full") return Detail::Full;
    return Detail::Standard;
}

double thinningSpacing(Detail detail) {
    switch (detail) {
        case Detail::Lekki: return 0.5;
        case Detail::Full: return 0.0;
        case Detail::Standard: break;
    }
    return 0.2;
}

}  // namespace cloudui
