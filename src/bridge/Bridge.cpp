#include "bridge/Bridge.h"

#include <exception>

#include "platform/MessageLoop.h"

namespace bridge {

void Bridge::on(const std::string& type, Handler handler) { handlers_[type] = std::move(handler); }

void Bridge::setSender(Sender sender) { sender_ = std::move(sender); }

std::string serializeMessage(const nlohmann::json& message) {
    return message.dump(-1, ' ', true, nlohmann::json::error_handler_t::strict);
}

void Bridge::send(const std::string& type, nlohmann::json payload) {
    payload["type"] = type;
    const std::string text = serializeMessage(payload);
    if (sender_) sender_(text);
}

void Bridge::dispatch(const std::string& raw) {
    nlohmann::json message = nlohmann::json::parse(raw, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/false);
    if (!message.is_object() || !message.contains("type") || !message["type"].is_string()) {
        send("error", nlohmann::json{{"msg", kInvalidMessage}});
        return;
    }
    const std::string type = message["type"].get<std::string>();
    auto it = handlers_.find(type);
    if (it == handlers_.end()) {
        send("error", nlohmann::json{{"msg", "Brak obslugi wiadomosci: " + type}});
        return;
    }
    try {
        nlohmann::json reply = it->second(message);
        if (reply.is_null()) return;
        if (!reply.contains("type")) reply["type"] = type + "Result";
        const std::string replyType = reply["type"].get<std::string>();
        send(replyType, std::move(reply));
    } catch (const std::exception& e) {
        send("error", nlohmann::json{{"msg", std::string("Blad wewnetrzny: ") + e.what()}});
    }
}

void runOnMainThread(std::function<void()> closure) { platform::MessageLoop::main().post(std::move(closure)); }

}  // namespace bridge
