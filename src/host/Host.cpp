#include "host/Host.h"

#include "host/detail/UninstalledHost.h"

namespace host {

namespace {

detail::UninstalledHost& uninstalled() {
    static detail::UninstalledHost instance;
    return instance;
}

Host* installed = nullptr;

}  // namespace

Host& host() { return installed ? *installed : uninstalled(); }

void installHost(Host* h) { installed = h; }

}  // namespace host
