#include "import/TileLossNote.h"

#include "platform/Numbers.h"

namespace importer {

bool serviceFailed(const net::TiledFetchOutcome& outcome) {
    return outcome.tiles > 0 && outcome.failed >= outcome.tiles;
}

std::string tileLossNote(const std::string& what, const net::TiledFetchOutcome& outcome) {
    const std::string counts =
        platform::cformat("%d", outcome.failed) + " z " + platform::cformat("%d", outcome.tiles) + " platek WFS";
    if (outcome.refused)
        return what + ": kadr zbyt duzy (" + platform::cformat("%d", outcome.tiles) +
               " platek WFS) - warstwa pominieta, zmniejsz kadr.";
    if (outcome.cancelled) return what + ": pobieranie anulowane - brak " + counts + ", dane niepelne.";
    if (outcome.failed <= 0) return {};
    if (serviceFailed(outcome)) return what + ": usluga WFS nie odpowiada (" + counts + " bez danych).";
    return what + ": nie pobrano " + counts + " - dane niepelne.";
}

}  // namespace importer
