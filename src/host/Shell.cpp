#include "host/Shell.h"

namespace host {

namespace {
Shell* g_shell = nullptr;
}

Shell* shell() { return g_shell; }
void installShell(Shell* s) { g_shell = s; }

}  // namespace host
