#include "host/Host.h"

#include "host/UninstalledHost.h"

namespace {

UninstalledHost& uninstalled() {
    static UninstalledHost instance;
    return instance;
}

Host* installed = nullptr;

}  // namespace

Host& host() { return installed ? *installed : uninstalled(); }

void installHost(Host* h) { installed = h; }
