// The data resources compiled into the program: web pages, map libraries, the workspace's files.
#pragma once
#include <cstdint>
#include <string_view>

namespace webres {

// One data resource: its identifier, the file name it is written under, and its bytes.
struct Resource {
    std::int32_t id = 0;
    std::string_view fileName;
    std::string_view bytes;
};

// The resource with this identifier, or null when the program does not carry it.
const Resource* findResource(std::int32_t id);

// Identifiers of the workspace's own files (the host's side, not the add-on's pages).
inline constexpr std::int32_t kWorkspaceHtml = 300;
inline constexpr std::int32_t kWorkspaceJs = 301;
inline constexpr std::int32_t kWorkspaceCss = 302;
inline constexpr std::int32_t kThreeModule = 310;
inline constexpr std::int32_t kThreeCore = 311;
inline constexpr std::int32_t kOrbitControls = 312;

}  // namespace webres
