// geodraft dedupe PROJECT [--yes]: deletes duplicated polylines and texts of a project file.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include <unistd.h>

#include "Commands.h"
#include "cleanup/PolylineCleaner.h"
#include "model/ModelHost.h"
#include "platform/Numbers.h"

using platform::parseInt;

namespace {

void printAlert(const host::AlertRequest& request) {
    std::printf("%s\n", request.largeText.c_str());
    if (!request.smallText.empty()) std::printf("%s\n", request.smallText.c_str());
}

// The answer typed for a multi-button alert: a button number, or t/y for the first and n for the
// last. 0 when the input ends without one.
std::int32_t askButton(const host::AlertRequest& request) {
    const auto count = static_cast<std::int32_t>(request.buttons.size());
    for (std::int32_t i = 0; i < count; ++i)
        std::printf("  %d) %s\n", static_cast<int>(i + 1), request.buttons[static_cast<std::size_t>(i)].c_str());
    std::string line;
    for (;;) {
        std::printf("Wybierz 1-%d (t/n): ", static_cast<int>(count));
        std::fflush(stdout);
        if (!std::getline(std::cin, line)) {
            std::printf("\n");
            return 0;
        }
        if (!isatty(STDIN_FILENO)) std::printf("%s\n", line.c_str());  // a typed answer echoes itself
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        while (!line.empty() && line.front() == ' ') line.erase(line.begin());
        if (line == "t" || line == "T" || line == "y" || line == "Y") return 1;
        if (line == "n" || line == "N") return count;
        long long n = 0;
        if (parseInt(line, n) && n >= 1 && n <= count) return static_cast<std::int32_t>(n);
    }
}

}  // namespace

int cmdDedupe(int argc, char** argv) {
    std::string project;
    bool yes = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--yes") == 0) yes = true;
        else if (project.empty() && argv[i][0] != '-') project = argv[i];
        else {
            project.clear();
            break;
        }
    }
    if (project.empty()) {
        std::fprintf(stderr, "uzycie: geodraft dedupe PROJEKT [--yes]\n");
        return 2;
    }
    model::ModelHost model;
    model::ProjectFileStatus loaded = model.loadProject(project);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 1;
    }
    model.setAlertPolicy([yes](const host::AlertRequest& request) -> std::int32_t {
        printAlert(request);
        if (request.buttons.size() <= 1 || yes) {
            if (request.buttons.size() > 1) std::printf("-> %s\n", request.buttons.front().c_str());
            return 1;
        }
        return askButton(request);
    });
    host::installHost(&model);
    const cleanup::CleanupOutcome outcome = cleanup::removeDuplicates(model);
    host::installHost(nullptr);

    if (outcome.end == cleanup::CleanupEnd::DeleteFailed) return 1;
    if (outcome.polylinesDeleted + outcome.textsDeleted > 0) {
        model::ProjectFileStatus saved = model.saveProject(project);
        if (!saved.ok) {
            std::fprintf(stderr, "%s\n", saved.error.c_str());
            return 1;
        }
    }
    return 0;
}
