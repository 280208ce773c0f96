// geodraft: plays the host for the add-on, drives both palettes and works on project files.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale>
#include <new>
#include <string>

#include "Commands.h"
#include "platform/Interrupts.h"
#include "platform/PrintableText.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* usage;
};

const Command kCommands[] = {
    {"session", cmdSession, "session [--palette import|cloud] [--project FILE]"},
    {"contours", cmdContours,
     "contours --frame MINX,MINY,MAXX,MAXY --step S --interval I [--smooth] --out PLIK.geojson SIATKA.asc..."},
    {"model", cmdModel, "model PROJEKT"},
    {"cloud-export", cmdCloudExport,
     "cloud-export --frame MINX,MINY,MAXX,MAXY --zone EPSG --detail lekki|standard|full --out PLIK.e57 "
     "ARKUSZ.las|laz..."},
    {"las-info", cmdLasInfo, "las-info [--threads N] PLIK.las|laz"},
    {"dedupe", cmdDedupe, "dedupe PROJEKT [--yes]"},
    {"export", cmdExport, "export PROJEKT --out KATALOG"},
    {"serve", cmdServe, "serve [--project PLIK] [--port N] [--open]"},
};

int usage() {
    std::fprintf(stderr, "uzycie: geodraft POLECENIE [ARGUMENTY]\n");
    for (const auto& c : kCommands) std::fprintf(stderr, "  geodraft %s\n", c.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists: an interrupt then never lands in the middle of a write (see Interrupts.h).
    platform::watchInterrupts();
    // Adopt the user's locale as a desktop program does; numbers never depend on it.
    std::setlocale(LC_ALL, "");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::exception&) {}
    if (argc < 2) return usage();
    for (const auto& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        // Inputs beyond what the machine can hold end with a message and an exit code, never an abort.
        try {
            return c.run(argc - 1, argv + 1);
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "blad: brak pamieci - dane wejsciowe zbyt duze\n");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "blad: %s\n", platform::printableText(e.what()).c_str());
        }
        return 1;
    }
    return usage();
}
