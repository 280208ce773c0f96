// The JSON message channel between a page and the add-on.
#pragma once
#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace bridge {

// Routes page messages to handlers by their "type" and sends replies back to the page.
class Bridge {
public:
    // Takes the whole incoming message; returns the reply, or null to answer nothing now.
    using Handler = std::function<nlohmann::json(const nlohmann::json&)>;
    // Receives one serialised outgoing message (pure ASCII JSON text).
    using Sender = std::function<void(const std::string&)>;

    // Stores a handler under a type name, replacing an earlier one.
    void on(const std::string& type, Handler handler);
    // Replaces the sender.
    void setSender(Sender sender);
    // Parses, routes and answers one raw incoming message.
    void dispatch(const std::string& raw);
    // Sets payload["type"], serialises compactly with \u escapes and hands the text to the sender.
    void send(const std::string& type, nlohmann::json payload);

    // Text sent for a message that is not a JSON object with a string "type".
    static constexpr const char* kInvalidMessage = "Nieprawidlowa wiadomosc z UI (JSON)";

private:
    std::map<std::string, Handler> handlers_;
    Sender sender_;
};

// Serialises a message as the page receives it: compact, ASCII only, strict UTF-8.
std::string serializeMessage(const nlohmann::json& message);

// Posts a closure to the main thread's message loop; the only way from a worker to the page.
void runOnMainThread(std::function<void()> closure);

}  // namespace bridge
