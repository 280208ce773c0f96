// geodraft session: a palette without a browser. Each line of standard input is one message of the
// page; every message the page would receive is printed as one line on standard output.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "Commands.h"
#include "bridge/Bridge.h"
#include "cloud_ui/CloudController.h"
#include "import/ImportController.h"
#include "model/ModelHost.h"
#include "palette/MapPalette.h"
#include "platform/Interrupts.h"
#include "platform/MessageLoop.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"

using platform::MessageLoop, platform::parseInt, platform::settleWorkers;

namespace {

struct SessionOptions {
    std::string palette = "import";
    std::filesystem::path project;  // empty: no project file
};

int sessionUsage() {
    std::fprintf(stderr, "uzycie: geodraft session [--palette import|cloud] [--project PLIK]\n");
    return 2;
}

bool parseOptions(int argc, char** argv, SessionOptions& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--palette" && i + 1 < argc) {
            out.palette = argv[++i];
            if (out.palette != "import" && out.palette != "cloud") return false;
        } else if (arg == "--project" && i + 1 < argc) {
            out.project = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// How many messages of each type the page has received, and how many "#until" lines asked for each; main thread.
std::map<std::string, long long> sentByType;
std::map<std::string, long long> awaitedByType;

// One message line for standard output, flushed so that a reading process sees it at once.
void writeToPage(const std::string& text) {
    const nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (message.is_object() && message.contains("type") && message["type"].is_string())
        ++sentByType[message["type"].get<std::string>()];
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The point-cloud palette's page channel; its controller registers on it.
class CloudSessionPalette {
public:
    explicit CloudSessionPalette(bridge::Bridge::Sender toPage) {
        bridge_.on("ping", [](const nlohmann::json&) {
            return nlohmann::json{{"type", "pong"}, {"build", palette::buildStamp()}};
        });
        bridge_.setSender(std::move(toPage));
    }
    bridge::Bridge& bridge() { return bridge_; }

private:
    bridge::Bridge bridge_;
};

// Input lines handed from the reader thread; touched only on the main thread.
struct InputQueue {
    std::deque<std::string> lines;
    bool ended = false;
};

// Runs one step of the main loop. A closure that throws is reported and the session goes on,
// so one faulty event cannot cost the user the project that is saved at the end.
template <class Step>
void guarded(Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "session: blad w petli glownej: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "session: nieznany blad w petli glownej\n");
    }
}

// The signal that interrupted the session, 0 while none did.
std::atomic<int> interruptedBy{0};

void pumpFor(std::chrono::milliseconds duration) {
    auto& loop = MessageLoop::main();
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        guarded([&] { loop.pump(); });
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || interruptedBy.load() != 0) return;
        guarded([&] {
            loop.runOne(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                        std::chrono::milliseconds(1));
        });
    }
}

// Waits until the page has received the n-th message of a type, for the n-th "#until" of that type; a script
// can then go on exactly when an answer came, however long the worker took.
void waitForMessage(const std::string& type) {
    auto& loop = MessageLoop::main();
    const long long wanted = ++awaitedByType[type];
    while (sentByType[type] < wanted) {
        guarded([&] { loop.pump(); });
        if (sentByType[type] >= wanted) return;
        // Every worker ended and nothing is left to handle: the message will never come.
        bool settled = false;
        guarded([&] { settled = settleWorkers(std::chrono::milliseconds(50)); });
        if (settled && sentByType[type] < wanted) {
            std::fprintf(stderr, "session: brak wiadomosci \"%s\"\n", type.c_str());
            return;
        }
    }
}

// Waits until every worker has ended and everything they posted has been handled.
void waitForWorkers() {
    bool settled = false;
    while (!settled && interruptedBy.load() == 0)
        guarded([&] { settled = settleWorkers(std::chrono::milliseconds(200)); });
}

void handleLine(const std::string& rawLine, bridge::Bridge& bridge) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return;
    if (line[0] != '#') {
        bridge.dispatch(line);
        return;
    }
    if (line == "#wait") {
        waitForWorkers();
    } else if (line.rfind("#until ", 0) == 0) {
        waitForMessage(line.substr(7));
    } else if (line.rfind("#sleep ", 0) == 0) {
        long long ms = 0;
        if (parseInt(line.substr(7), ms) && ms >= 0) pumpFor(std::chrono::milliseconds(ms));
        else std::fprintf(stderr, "session: nieprawidlowa liczba w \"%s\"\n", line.c_str());
    }
    // Any other '#' line is a comment.
}

// Reads standard input on its own thread so that the main loop keeps running while it waits.
std::thread startReader(InputQueue& queue) {
    return std::thread([&queue]() {
        std::string line;
        while (std::getline(std::cin, line)) {
            bridge::runOnMainThread([&queue, line]() { queue.lines.push_back(line); });
        }
        bridge::runOnMainThread([&queue]() { queue.ended = true; });
    });
}

// Returns normally when the input ended, or the signal number when the session was interrupted.
int runSession(bridge::Bridge& bridge, const std::function<void()>& cancelWork) {
    InputQueue queue;
    std::thread reader = startReader(queue);
    auto& loop = MessageLoop::main();
    platform::setInterruptHandler([](int signal) {
        interruptedBy = signal;
        bridge::runOnMainThread([] {});  // wakes the loop
    });
    for (;;) {
        guarded([&] { loop.pump(); });
        if (const int signal = interruptedBy.load()) {
            // What was done so far is kept: running work is cancelled and given a moment to end, then the
            // caller saves. The reader may sit in a read that never ends; the process ends without it.
            reader.detach();
            guarded(cancelWork);
            bool settled = false;
            guarded([&] { settled = settleWorkers(std::chrono::milliseconds(15000)); });
            if (!settled) std::fprintf(stderr, "session: praca w tle nie skonczyla sie - zapis bez niej\n");
            return signal;
        }
        if (!queue.lines.empty()) {
            const std::string line = std::move(queue.lines.front());
            queue.lines.pop_front();
            guarded([&] { handleLine(line, bridge); });
            continue;
        }
        if (queue.ended) break;
        guarded([&] { loop.runOne(std::chrono::milliseconds(50)); });
    }
    reader.join();
    waitForWorkers();
    return 0;
}

}  // namespace

int cmdSession(int argc, char** argv) {
    SessionOptions options;
    if (!parseOptions(argc, argv, options)) return sessionUsage();

    model::ModelHost model;
    if (!options.project.empty() && std::filesystem::exists(options.project)) {
        const model::ProjectFileStatus loaded = model.loadProject(options.project);
        if (!loaded.ok) {
            // Going on would overwrite the user's file with an empty project at the end.
            std::fprintf(stderr, "session: nie mozna wczytac projektu %s: %s\n", options.project.string().c_str(),
                         loaded.error.c_str());
            return 1;
        }
    }
    model.setReportSink([](const std::string& line) {
        std::fprintf(stderr, "report: %s\n", line.c_str());
        std::fflush(stderr);
    });
    host::installHost(&model);

    int signal = 0;
    if (options.palette == "cloud") {
        CloudSessionPalette palette(writeToPage);
        cloudui::CloudController::instance().registerHandlers(palette.bridge());
        signal = runSession(palette.bridge(), [&palette] { palette.bridge().dispatch("{\"type\":\"cancel\"}"); });
    } else {
        palette::MapPalette palette(
            [](bridge::Bridge& bridge) { importer::ImportController::instance().registerHandlers(bridge); });
        palette.InitBrowserControl(writeToPage);
        signal = runSession(palette.bridge(), [&palette] { palette.bridge().dispatch("{\"type\":\"cancel\"}"); });
    }

    int rc = 0;
    if (!options.project.empty()) {
        const model::ProjectFileStatus saved = model.saveProject(options.project);
        if (!saved.ok) {
            std::fprintf(stderr, "session: nie mozna zapisac projektu %s: %s\n", options.project.string().c_str(),
                         saved.error.c_str());
            rc = 1;
        }
    }
    if (signal != 0) {
        std::fprintf(stderr, "session: przerwano sygnalem %d%s\n", signal,
                     options.project.empty() ? "" : (rc == 0 ? " - projekt zapisany" : " - projekt nie zapisany"));
        platform::exitForSignal(signal);
    }
    host::installHost(nullptr);
    return rc;
}
