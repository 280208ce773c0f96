// Outcome of a LAS/LAZ operation: ok, or a readable message and where it went wrong.
#pragma once
#include <string>

namespace las {

struct LasStatus {
    bool ok = true;
    // Polish text for the user when !ok ("Uszkodzony plik LAZ: ..."); empty when ok.
    std::string message;
    // Where the failure was found: "naglowek", "VLR 2", "chunk 3 (bajt 12345)", ...; empty when ok.
    std::string where;

    static LasStatus success() { return {}; }
    static LasStatus failure(std::string msg, std::string at = {}) { return {false, std::move(msg), std::move(at)}; }
    explicit operator bool() const { return ok; }
};

}  // namespace las
