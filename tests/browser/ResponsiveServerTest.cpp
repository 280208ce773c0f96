// The browser stand-in stays responsive while clients hold connections open without sending a request.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "browser/BrowserServer.h"

namespace {

int connectTo(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return s;
}

// Whether the server ended the connection within the time (a cut request may get an error answer first).
bool closedWithin(int s, int ms) {
    char buffer[512];
    for (pollfd p{s, POLLIN, 0}; ::poll(&p, 1, ms) > 0;) {
        if (::recv(s, buffer, sizeof buffer, 0) <= 0) return true;
    }
    return false;
}

}  // namespace

TEST(ResponsiveServer, SilentAndSlowClientsNeitherHoldARequestNorStay) {
    browser::BrowserServer server(1);
    ASSERT_TRUE(server.start(0));
    // Far more silent connections than a fixed pool would have workers, and one sending half a header.
    std::vector<int> idle;
    for (int i = 0; i < 80; ++i) idle.push_back(connectTo(server.port()));
    const int slow = connectTo(server.port());
    ASSERT_EQ(::send(slow, "GET / HTTP/1.1\r\nHo", 18, 0), 18);

    const int page = connectTo(server.port());
    const std::string request = "GET /" + server.secret() +
                                "/none/x.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                                "\r\n\r\n";
    ASSERT_EQ(::send(page, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    pollfd p{page, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 900), 1) << "the request waited behind the silent connections";
    char answer[16] = {};
    ASSERT_GT(::recv(page, answer, sizeof answer - 1, 0), 0);
    EXPECT_EQ(std::string(answer).rfind("HTTP/1.1 404", 0), 0u) << answer;

    // Silence ends a connection, inside a request too.
    for (int s : {idle.front(), idle.back(), slow}) EXPECT_TRUE(closedWithin(s, 4000));
    for (int s : idle) ::close(s);
    for (int s : {slow, page}) ::close(s);
    server.stop();
}

// One page of a channel at a time: a newer stream takes the channel over, and a page whose stream comes back after
// that (an EventSource reconnecting with its stream's id) is told it was replaced instead of taking it back.
TEST(ResponsiveServer, AReconnectingPageNeverTakesTheChannelBack) {
    browser::BrowserServer server(1);
    browser::BrowserChannel& channel = server.channel("palette");
    const std::uint64_t first = channel.openStream();
    EXPECT_EQ(channel.openStream(first), first);  // nobody came in between: it keeps the channel
    const std::uint64_t second = channel.openStream();
    EXPECT_EQ(channel.openStream(first), 0u);
    bool current = true;
    channel.takeScripts(first, std::chrono::milliseconds(0), current);
    EXPECT_FALSE(current);
    channel.takeScripts(second, std::chrono::milliseconds(0), current);
    EXPECT_TRUE(current);
}
