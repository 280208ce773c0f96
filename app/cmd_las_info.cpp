// geodraft las-info [--threads N] FILE: the header of a LAS/LAZ sheet, its points by class, their
// bounds, and a hash of every raw record in file order (equal for a LAZ and its uncompressed twin).
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"
#include "formats/las/LasReader.h"
#include "formats/las/LasRecordSummary.h"
#include "platform/Numbers.h"

using las::LasHeader, las::LasReadOptions, las::LasReader, las::LasRecordSummary, las::LasStatus;
using platform::cformat, platform::parseInt;

namespace {

int lasInfoUsage() {
    std::fprintf(stderr, "uzycie: geodraft las-info [--threads N] PLIK.las|laz\n");
    return 2;
}

void printHeader(const std::string& path, const LasHeader& h) {
    std::printf("plik: %s\n", path.c_str());
    std::printf("wersja: %u.%u\n", static_cast<unsigned>(h.versionMajor), static_cast<unsigned>(h.versionMinor));
    std::printf("format punktu: %u\n", static_cast<unsigned>(h.pointFormat));
    std::printf("dlugosc rekordu: %u\n", static_cast<unsigned>(h.pointRecordLength));
    if (h.compressed)
        std::printf("kompresja: LAZ, kompresor %u, chunk %s\n", static_cast<unsigned>(h.lazCompressor),
                    h.lazChunkSize == 0xFFFFFFFFu ? "zmienny" : std::to_string(h.lazChunkSize).c_str());
    else std::printf("kompresja: brak\n");
    std::printf("system: %s\n", h.systemIdentifier.c_str());
    std::printf("program: %s\n", h.generatingSoftware.c_str());
    std::printf("punkty w naglowku: %llu\n", static_cast<unsigned long long>(h.pointCount));
    std::printf("%s", cformat("skala: %.10g %.10g %.10g\n", h.scaleX, h.scaleY, h.scaleZ).c_str());
    std::printf("%s", cformat("przesuniecie: %.10g %.10g %.10g\n", h.offsetX, h.offsetY, h.offsetZ).c_str());
    std::printf("%s", cformat("zakres w naglowku: x %.3f..%.3f y %.3f..%.3f z %.3f..%.3f\n", h.minX, h.maxX, h.minY,
                              h.maxY, h.minZ, h.maxZ)
                          .c_str());
}

}  // namespace

int cmdLasInfo(int argc, char** argv) {
    LasReadOptions options;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            long long n = 0;
            if (!parseInt(argv[++i], n) || n < 1 || n > 64) return lasInfoUsage();
            options.threads = static_cast<unsigned>(n);
        } else if (path.empty() && argv[i][0] != '-') {
            path = argv[i];
        } else {
            return lasInfoUsage();
        }
    }
    if (path.empty()) return lasInfoUsage();

    LasReader reader;
    const LasStatus opened = reader.open(path, options);
    if (!opened) {
        std::fprintf(stderr, "blad: %s (%s)\n", opened.message.c_str(), opened.where.c_str());
        return 1;
    }
    const LasHeader& h = reader.header();
    printHeader(path, h);

    LasRecordSummary summary(h);
    reader.summarize(summary);
    const std::int32_t* lo = summary.min();
    const std::int32_t* hi = summary.max();
    std::printf("punkty odczytane: %llu\n", static_cast<unsigned long long>(summary.count()));
    for (unsigned cls = 0; cls < summary.classes().size(); ++cls)
        if (summary.classes()[cls] > 0)
            std::printf("klasa %u: %llu\n", cls, static_cast<unsigned long long>(summary.classes()[cls]));
    if (summary.count() > 0) {
        std::printf("%s",
                    cformat("zakres punktow: x %.3f..%.3f y %.3f..%.3f z %.3f..%.3f\n", lo[0] * h.scaleX + h.offsetX,
                            hi[0] * h.scaleX + h.offsetX, lo[1] * h.scaleY + h.offsetY, hi[1] * h.scaleY + h.offsetY,
                            lo[2] * h.scaleZ + h.offsetZ, hi[2] * h.scaleZ + h.offsetZ)
                        .c_str());
    }
    std::printf("records-fnv1a64 %s\n", cformat("%016llx", static_cast<unsigned long long>(summary.hash())).c_str());
    if (!reader.status()) {
        std::fprintf(stderr, "blad: %s (%s)\n", reader.status().message.c_str(), reader.status().where.c_str());
        return 1;
    }
    return 0;
}
