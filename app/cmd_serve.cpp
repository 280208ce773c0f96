// geodraft serve: the workspace. A local page plays the modelling application (menu, palette windows,
// report window, alerts, a plan and 3D view of the model) and the add-on runs in this process.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Commands.h"
#include "WorkspaceShell.h"
#include "addon/AddOnMain.h"
#include "browser/BrowserServer.h"
#include "cloud_ui/CloudController.h"
#include "host/Shell.h"
#include "import/ImportController.h"
#include "model/ModelHost.h"
#include "platform/Desktop.h"
#include "platform/MessageLoop.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"
#include "webres/WebResources.h"

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

int serveUsage() {
    std::fprintf(stderr, "uzycie: geodraft serve [--project PLIK] [--port N] [--open]\n");
    return 2;
}

// The workspace page and its 3D library, written beside the palettes' folders.
bool extractWorkspace(const std::filesystem::path& folder) {
    if (!platform::makePrivateFolder(folder)) {
        std::fprintf(stderr, "serve: folder %s nalezy do innego uzytkownika\n", folder.c_str());
        return false;
    }
    for (std::int32_t id : {webres::kWorkspaceHtml, webres::kWorkspaceJs, webres::kWorkspaceCss, webres::kThreeModule,
                            webres::kThreeCore, webres::kOrbitControls}) {
        const webres::Resource* r = webres::findResource(id);
        if (!r) {
            std::fprintf(stderr, "serve: program nie zawiera zasobu %d (uruchom scripts/install-deps.sh)\n", id);
            return false;
        }
        if (!platform::writeFileAtomically(folder / std::string(r->fileName), r->bytes)) {
            std::fprintf(stderr, "serve: nie mozna zapisac %s\n", (folder / std::string(r->fileName)).c_str());
            return false;
        }
    }
    return true;
}

// With service routing on, the pages' own map requests go to the same local server as the add-on's.
std::string pageSettings() {
    const char* services = std::getenv("GEODRAFT_SERVICES");
    nlohmann::json value = services ? nlohmann::json(std::string(services)) : nlohmann::json();
    return "window.GEODRAFT_SERVICES = " + value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + ";";
}

}  // namespace

int cmdServe(int argc, char** argv) {
    std::filesystem::path project;
    long long port = 0;
    bool open = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--project" && i + 1 < argc) {
            project = argv[++i];
        } else if (arg == "--open") {
            open = true;
        } else if (arg == "--port" && i + 1 < argc) {
            if (!platform::parseInt(argv[++i], port) || port < 0 || port > 65535) return serveUsage();
        } else {
            return serveUsage();
        }
    }

    model::ModelHost model;
    if (!project.empty() && std::filesystem::exists(project)) {
        const model::ProjectFileStatus loaded = model.loadProject(project);
        if (!loaded.ok) {
            // Going on would overwrite the user's file with an empty project.
            std::fprintf(stderr, "serve: nie mozna wczytac projektu %s: %s\n", project.c_str(), loaded.error.c_str());
            return 1;
        }
    }

    browser::BrowserServer server;
    server.setPageSettings(pageSettings());
    const std::filesystem::path workspaceDir = platform::tempDir() / "Geodraft_workspace";
    if (!extractWorkspace(workspaceDir)) return 1;
    server.mount("host", workspaceDir);
    if (!server.start(static_cast<int>(port))) {
        std::fprintf(stderr, "serve: nie mozna nasluchiwac na 127.0.0.1:%lld\n", port);
        return 1;
    }

    browser::BrowserChannel& page = server.channel("host");
    WorkspaceShell shell(page, model);
    shell.setStopFlag(&g_stop);
    shell.setFolder(workspaceDir);
    page.RegisterAsynchJSObject("HOST", "call", [&shell](const nlohmann::json& args) {
        if (args.is_array() && !args.empty() && args[0].is_string()) {
            shell.onPageCall(nlohmann::json::parse(args[0].get<std::string>(), nullptr, false));
        }
        return nlohmann::json();
    });
    model.setReportSink([&shell](const std::string& line) { shell.reportLine(line); });
    model.setAlertPolicy([&shell](const host::AlertRequest& request) { return shell.alert(request); });
    host::installHost(&model);
    host::installShell(&shell);

    {
        addon::AddOnMain addon(
            [&server](const std::string& name) -> browser::BrowserChannel& { return server.channel(name); },
            [](bridge::Bridge& b) { importer::ImportController::instance().registerHandlers(b); },
            [](bridge::Bridge& b) { cloudui::CloudController::instance().registerHandlers(b); });
        std::string name, description;
        addon.checkEnvironment(name, description);
        host::HostError err = addon.registerInterface();
        if (err == host::kHostOk) err = addon.initialize();
        if (err != host::kHostOk) {
            std::fprintf(stderr, "serve: rejestracja dodatku nie powiodla sie (%d)\n", err);
            return 1;
        }

        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        std::printf("Geodraft: otworz w przegladarce %shost/workspace.html\n", server.baseAddress().c_str());
        std::printf("(Ctrl+C konczy; projekt: %s)\n", project.empty() ? "bez pliku" : project.c_str());
        std::fflush(stdout);
        if (open) platform::openUrlExternally(server.baseAddress() + "host/workspace.html");

        auto& loop = platform::MessageLoop::main();
        std::uint64_t saved = model.revision();
        while (!g_stop) {
            loop.runOne(std::chrono::milliseconds(200));
            loop.pump();
            shell.refreshModelView();
            if (!project.empty() && model.revision() != saved && !model.inUndoableCommand()) {
                // Saved after every change (the georeference too), so even a killed workspace loses nothing.
                const model::ProjectFileStatus status = model.saveProject(project);
                if (!status.ok) std::fprintf(stderr, "serve: nie mozna zapisac projektu: %s\n", status.error.c_str());
                saved = model.revision();
            }
        }
        shell.closeProject();
    }
    server.stop();
    int rc = 0;
    if (!project.empty()) {
        const model::ProjectFileStatus status = model.saveProject(project);
        if (!status.ok) {
            std::fprintf(stderr, "serve: nie mozna zapisac projektu %s: %s\n", project.c_str(), status.error.c_str());
            rc = 1;
        }
    }
    host::installShell(nullptr);
    host::installHost(nullptr);
    return rc;
}
