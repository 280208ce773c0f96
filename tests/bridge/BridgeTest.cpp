// The UI message bridge and the map palette on top of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/Bridge.h"
#include "palette/MapPalette.h"

namespace {

struct Recorder {
    std::vector<std::string> sent;
    bridge::Bridge::Sender sender() {
        return [this](const std::string& text) { sent.push_back(text); };
    }
};

// A bridge whose replies are recorded.
class Bridge : public testing::Test {
protected:
    void SetUp() override { bridge.setSender(rec.sender()); }
    bridge::Bridge bridge;
    Recorder rec;
};

TEST_F(Bridge, BadMessagesGetOneErrorEach) {
    const std::string invalid = R"j({"msg":"Nieprawidlowa wiadomosc z UI (JSON)","type":"error"})j";
    for (auto [raw, reply] : {std::pair<std::string, std::string>{"{}", invalid},
                              {"not json", invalid},
                              {"{\"type\":\"ping\" /* c */}", invalid},
                              {R"({"type":"zzz"})", R"({"msg":"Brak obslugi wiadomosci: zzz","type":"error"})"}}) {
        SCOPED_TRACE(raw);
        rec.sent.clear();
        bridge.dispatch(raw);
        EXPECT_EQ(rec.sent, std::vector<std::string>{reply});
    }
}

TEST_F(Bridge, NullReplySendsNothingMissingTypeGetsResultSuffixAndLaterRegistrationWins) {
    bridge.on("quiet", [](const nlohmann::json&) { return nlohmann::json(); });
    bridge.on("x", [](const nlohmann::json&) { return nlohmann::json{{"type", "one"}}; });
    bridge.on("x", [](const nlohmann::json&) { return nlohmann::json{{"b", 1}, {"a", "z"}}; });
    bridge.dispatch(R"({"type":"quiet"})");
    EXPECT_TRUE(rec.sent.empty());
    bridge.dispatch(R"({"type":"x"})");
    EXPECT_EQ(rec.sent, std::vector<std::string>{R"({"a":"z","b":1,"type":"xResult"})"});
}

TEST_F(Bridge, HandlerExceptionsAndInvalidUtf8BecomeInternalErrorsAndBridgeKeepsWorking) {
    bridge.on("str", [](const nlohmann::json& m) {
        return nlohmann::json{{"type", "ok"}, {"v", m.at("v").get<std::string>()}};
    });
    bridge.on("bad", [](const nlohmann::json&) {
        return nlohmann::json{{"type", "r"}, {"s", std::string("\xff\xfe")}};
    });
    bridge.dispatch(R"({"type":"str","v":5})");
    bridge.dispatch(R"({"type":"bad"})");
    bridge.dispatch(R"({"type":"str","v":"a"})");
    ASSERT_EQ(rec.sent.size(), 3u);
    EXPECT_NE(rec.sent[0].find(
                  R"("msg":"Blad wewnetrzny: [json.exception.type_error.302] type must be string, but is number")"),
              std::string::npos)
        << rec.sent[0];
    EXPECT_NE(rec.sent[1].find("Blad wewnetrzny: [json.exception.type_error.316]"), std::string::npos) << rec.sent[1];
    EXPECT_EQ(rec.sent[2], R"({"type":"ok","v":"a"})");
}

TEST_F(Bridge, SendEscapesNonAsciiAndOverwritesType) {
    bridge.send("t", nlohmann::json{{"type", "old"},
                                    {"s",
                                     "\xc5\x82\xc3\xb3"
                                     "d"
                                     "\xc5\xba"},
                                    {"A", 1}});
    EXPECT_EQ(rec.sent, std::vector<std::string>{R"({"A":1,"s":"\u0142\u00f3d\u017a","type":"t"})"});
    bridge::Bridge silent;
    silent.send("t", nlohmann::json::object());  // no sender: nothing happens
}

TEST(MapPalette, PingOpenExternalAndStaticSend) {
    std::vector<std::string> opened;
    palette::MapPalette::setUrlOpener([&](const std::string& u) { opened.push_back(u); });
    palette::MapPalette::sendToPage("x", nlohmann::json::object());  // no palette: dropped
    Recorder rec;
    {
        palette::MapPalette palette;
        palette.InitBrowserControl(rec.sender());
        palette.bridge().dispatch(R"({"type":"ping"})");
        ASSERT_EQ(rec.sent.size(), 1u);
        auto pong = nlohmann::json::parse(rec.sent[0]);
        EXPECT_EQ(pong["wersja"], "1.8.0");
        EXPECT_EQ(pong["build"], palette::buildStamp());
        for (const char* u : {"https://a.pl/x", "http://b.pl", "HTTPS://c.pl", "ftp://d"})
            palette.bridge().dispatch(nlohmann::json{{"type", "openExternal"}, {"url", u}}.dump());
        EXPECT_EQ(opened, (std::vector<std::string>{"https://a.pl/x", "http://b.pl"}));
        ASSERT_EQ(rec.sent.size(), 5u);
        for (int i = 1; i < 5; ++i) EXPECT_EQ(rec.sent[i], R"({"type":"noop"})");
        palette::MapPalette::sendToPage("progress", nlohmann::json{{"done", 1}});
        EXPECT_EQ(rec.sent.back(), R"({"done":1,"type":"progress"})");
    }
    const auto before = rec.sent.size();
    palette::MapPalette::sendToPage("progress", nlohmann::json{{"done", 2}});  // palette gone: dropped
    EXPECT_EQ(rec.sent.size(), before);
    palette::MapPalette::setUrlOpener(nullptr);
}

}  // namespace
