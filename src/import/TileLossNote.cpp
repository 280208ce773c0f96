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
    std::string note;
    if (serviceFailed(outcome)) note = what + ": usluga WFS nie odpowiada (" + counts + " bez danych).";
    else if (outcome.failed > 0) note = what + ": nie pobrano " + counts + " - dane niepelne.";
    const auto add = [&](const std::string& text) { note += (note.empty() ? "" : " ") + text; };
    // Beyond the server's page size: neither its paging nor smaller tiles brought the rest.
    if (outcome.missingFeatures > 0)
        add(what + ": serwer WFS nie oddal " + platform::cformat("%lld", outcome.missingFeatures) +
            " obiektow ponad swoj limit na zapytanie - dane niepelne.");
    if (outcome.cutTiles > 0)
        add(what + ": serwer WFS ucial odpowiedz na limicie obiektow w " + platform::cformat("%d", outcome.cutTiles) +
            " miejscach, liczba brakujacych nieznana - dane niepelne.");
    return note;
}

}  // namespace importer
