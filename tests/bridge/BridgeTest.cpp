#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/Bridge.h"
#include "palette/MapPalette.h"
#include "platform/MessageLoop.h"

using platform::MessageLoop;

namespace {

struct Recorder {
    std::vector<std::string> sent;
    bridge::Bridge::Sender sender() {
        return [this](const std::string& text) { sent.push_back(text); };
    }
};

TEST(Bridge, InvalidMessagesGetTheInvalidMessageError) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    for (const char* raw : {"{}", "[1,2]", "not json", "{\"type\":5}", "{\"type\":\"ping\" /* c */}", ""}) {
        bridge.dispatch(raw);
    }
    ASSERT_EQ(rec.sent.size(), 6u);
    for (const auto& s : rec.sent) EXPECT_EQ(s, R"j({"msg":"Nieprawidlowa wiadomosc z UI (JSON)","type":"error"})j");
}

TEST(Bridge, UnknownTypeNamesTheType) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.dispatch(R"({"type":"zzz"})");
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_EQ(rec.sent[0], R"({"msg":"Brak obslugi wiadomosci: zzz","type":"error"})");
}

TEST(Bridge, NullReplySendsNothingAndMissingTypeGetsResultSuffix) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.on("quiet", [](const nlohmann::json&) { return nlohmann::json(); });
    bridge.on("x", [](const nlohmann::json&) { return nlohmann::json{{"b", 1}, {"a", "z"}}; });
    bridge.dispatch(R"({"type":"quiet"})");
    EXPECT_TRUE(rec.sent.empty());
    bridge.dispatch(R"({"type":"x"})");
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_EQ(rec.sent[0], R"({"a":"z","b":1,"type":"xResult"})");
}

TEST(Bridge, LaterRegistrationReplacesEarlier) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.on("x", [](const nlohmann::json&) { return nlohmann::json{{"type", "one"}}; });
    bridge.on("x", [](const nlohmann::json&) { return nlohmann::json{{"type", "two"}}; });
    bridge.dispatch(R"({"type":"x"})");
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_EQ(rec.sent[0], R"({"type":"two"})");
}

TEST(Bridge, HandlerExceptionsBecomeInternalErrorsAndBridgeKeepsWorking) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.on("str", [](const nlohmann::json& m) {
        return nlohmann::json{{"type", "ok"}, {"v", m.at("v").get<std::string>()}};
    });
    bridge.dispatch(R"({"type":"str","v":5})");
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_NE(rec.sent[0].find(
                  R"("msg":"Blad wewnetrzny: [json.exception.type_error.302] type must be string, but is number")"),
              std::string::npos)
        << rec.sent[0];
    bridge.dispatch(R"({"type":"str","v":"a"})");
    EXPECT_EQ(rec.sent.back(), R"({"type":"ok","v":"a"})");
}

TEST(Bridge, InvalidUtf8InReplyIsAnInternalError) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.on("bad", [](const nlohmann::json&) {
        return nlohmann::json{{"type", "r"}, {"s", std::string("\xff\xfe")}};
    });
    bridge.dispatch(R"({"type":"bad"})");
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_NE(rec.sent[0].find("Blad wewnetrzny: [json.exception.type_error.316]"), std::string::npos) << rec.sent[0];
}

TEST(Bridge, SendEscapesNonAsciiAndOverwritesType) {
    bridge::Bridge bridge;
    Recorder rec;
    bridge.setSender(rec.sender());
    bridge.send("t", nlohmann::json{{"type", "old"},
                                    {"s",
                                     "\xc5\x82\xc3\xb3"
                                     "d"
                                     "\xc5\xba"},
                                    {"A", 1}});
    ASSERT_EQ(rec.sent.size(), 1u);
    EXPECT_EQ(rec.sent[0], R"({"A":1,"s":"\u0142\u00f3d\u017a","type":"t"})");
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
        EXPECT_EQ(pong["type"], "pong");
        EXPECT_EQ(pong["wersja"], "1.8.0");
        EXPECT_EQ(pong["build"], palette::buildStamp());
        for (const char* u : {"https://a.pl/x", "http://b.pl", "HTTPS://c.pl", "ftp://d", "mailto:e"}) {
            palette.bridge().dispatch(nlohmann::json{{"type", "openExternal"}, {"url", u}}.dump());
        }
        palette.bridge().dispatch(R"({"type":"openExternal"})");
        palette.bridge().dispatch(R"({"type":"openExternal","url":7})");
        EXPECT_EQ(opened, (std::vector<std::string>{"https://a.pl/x", "http://b.pl"}));
        ASSERT_EQ(rec.sent.size(), 8u);
        for (int i = 1; i < 7; ++i) EXPECT_EQ(rec.sent[i], R"({"type":"noop"})");
        EXPECT_NE(rec.sent[7].find("type must be string, but is number"), std::string::npos);
        palette::MapPalette::sendToPage("progress", nlohmann::json{{"done", 1}});
        EXPECT_EQ(rec.sent.back(), R"({"done":1,"type":"progress"})");
    }
    const auto before = rec.sent.size();
    palette::MapPalette::sendToPage("progress", nlohmann::json{{"done", 2}});  // palette gone: dropped
    EXPECT_EQ(rec.sent.size(), before);
    palette::MapPalette::setUrlOpener(nullptr);
}

TEST(MessageLoop, WorkerClosuresRunInPostedOrderOnThePumpingThread) {
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) bridge::runOnMainThread([&seen, i] { seen.push_back(i); });
    EXPECT_EQ(MessageLoop::main().pump(), 5u);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
}

}  // namespace
