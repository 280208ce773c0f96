// What the browser stand-in lets through to the add-on, and which files it serves.
#include <gtest/gtest.h>

#include "browser/detail/RequestChecks.h"
#include "support/TestSupport.h"

using browser::detail::admitted;
using browser::detail::RequestParts;

TEST(RequestChecks, OnlyOwnRequestsWithTheSecretPass) {
    const std::string s = "0123456789abcdef";
    const struct {
        RequestParts request;
        bool admitted;
    } cases[] = {
        {{"GET", "/" + s + "/map/map.html", "127.0.0.1:8000", "", ""}, true},
        {{"GET", "/" + s + "/map/map.html", "localhost:8000", "", "same-origin"}, true},
        {{"POST", "/" + s + "/map/__call", "127.0.0.1:8000", "http://127.0.0.1:8000", "same-origin"}, true},
        {{"GET", "/" + s + "/map/map.html", "127.0.0.1:8001", "", ""}, false},     // another port
        {{"GET", "/" + s + "/map/map.html", "evil.example:8000", "", ""}, false},  // rebound name
        {{"GET", "/" + s + "/map/map.html", "", "", ""}, false},                   // no Host
        {{"GET", "/" + s, "127.0.0.1:8000", "", ""}, false},
        {{"GET", "/0123456789abcdeX/map/map.html", "127.0.0.1:8000", "", ""}, false},
        {{"GET", "/" + s + "x/map/map.html", "127.0.0.1:8000", "", ""}, false},
        {{"POST", "/" + s + "/map/__call", "127.0.0.1:8000", "", ""}, false},  // a POST names its origin
        {{"POST", "/" + s + "/map/__call", "127.0.0.1:8000", "http://evil.example", ""}, false},
        {{"POST", "/" + s + "/map/__call", "127.0.0.1:8000", "null", ""}, false},
        {{"GET", "/" + s + "/map/map.js", "127.0.0.1:8000", "", "cross-site"}, false},
        {{"GET", "/" + s + "/map/map.js", "127.0.0.1:8000", "", "same-site"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.method + " " + c.request.path + " host=" + c.request.host +
                     " origin=" + c.request.origin);
        EXPECT_EQ(admitted(c.request, 8000, s), c.admitted);
    }
}

TEST(RequestChecks, FilesOnlyFromInsideTheFolder) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "web" / "map.js", "x");
    testsupport::writeFile(dir / "secret.txt", "y");
    std::filesystem::create_symlink(dir / "secret.txt", dir / "web" / "link.txt");
    std::filesystem::path out;
    EXPECT_TRUE(browser::detail::resolveInside(dir / "web", "map.js", out));
    for (const char* bad : {"../secret.txt", "link.txt", ".hidden", "a//b", "", "missing.js", "sub/../map.js"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(browser::detail::resolveInside(dir / "web", bad, out));
    }
}
