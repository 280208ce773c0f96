// The desktop opener: the caller never waits for the opener program to end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/Desktop.h"
#include "support/TestSupport.h"

TEST(Desktop, OpenerThatNeverEndsDoesNotHoldTheCaller) {
    testsupport::TempDir dir;
    const std::string fifo = (dir / "release").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // An opener that notes its argument, then waits until the test releases it.
    testsupport::writeFile(
        dir / "xdg-open", "#!/bin/sh\necho \"$1\" > '" + (dir / "opened").string() + "'\nread line < '" + fifo + "'\n");
    ::chmod((dir / "xdg-open").c_str(), 0700);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.path.string() + ":" + path).c_str(), 1);
    auto opened = std::async(std::launch::async, [] { platform::openUrlExternally("https://example.pl/a b"); });
    const bool returned = opened.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    ::setenv("PATH", path.c_str(), 1);
    // Releases the opener (and the caller, were it still waiting); an opener that never started is not waited for.
    bool released = false;
    for (int attempt = 0; attempt < 200 && !released; ++attempt) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            released = ::write(fd, "go\n", 3) == 3;
            ::close(fd);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(returned);
    EXPECT_TRUE(released) << "the opener ran";
    opened.wait();
}
