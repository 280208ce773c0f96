// What the desktop offers the add-on: opening a web address in the user's browser.
#pragma once
#include <string>

namespace platform {

// Opens the URL with the desktop's default opener (xdg-open), without a shell and without waiting for it to
// end; failures are ignored.
void openUrlExternally(const std::string& url);

}  // namespace platform
