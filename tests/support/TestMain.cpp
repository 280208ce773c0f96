// Test entry point. It adopts the locale of the environment, as the application does, so that
// running the suite under a decimal-comma locale (pl_PL.UTF-8) proves numbers never depend on it.
#include <gtest/gtest.h>
#include <clocale>
#include <cstdlib>
#include <locale>

int main(int argc, char** argv) {
    // Tests talk to the simulator only: unless a test routes elsewhere, every outgoing request goes to
    // a closed loopback port and fails at once instead of reaching a public service.
    if (std::getenv("GEODRAFT_SERVICES") == nullptr) setenv("GEODRAFT_SERVICES", "http://127.0.0.1:9", 0);
    std::setlocale(LC_ALL, "");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::exception&) {
        // An unknown locale name in the environment: stay with the classic one.
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
