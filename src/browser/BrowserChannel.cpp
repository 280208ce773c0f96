#include "browser/BrowserChannel.h"

#include <algorithm>

#include "browser/BrowserServer.h"
#include "platform/MessageLoop.h"

namespace browser {

namespace {

// "file:///C:/x/y.html" or "file:///tmp/x/y.html" -> the path; false for other schemes.
bool filePathOf(const std::string& url, std::filesystem::path& out) {
    const std::string scheme = "file://";
    if (url.rfind(scheme, 0) != 0) return false;
    out = std::filesystem::path(url.substr(scheme.size()));
    return out.is_absolute() && out.has_filename();
}

}  // namespace

BrowserChannel::BrowserChannel(BrowserServer& server, std::string name) : server_(server), name_(std::move(name)) {}

void BrowserChannel::LoadURL(const std::string& fileUrl) {
    std::filesystem::path file;
    if (!filePathOf(fileUrl, file)) {
        if (loadError_) loadError_(-300, fileUrl);
        return;
    }
    if (loadingState_) loadingState_(true);
    std::string address;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        folder_ = file.parent_path();
        scripts_.clear();  // a new page does not run what was meant for the old one
        page_ = server_.baseAddress() + name_ + "/" + file.filename().string();
        address = page_;
    }
    server_.mount(name_, file.parent_path());
    if (pageAddress_) pageAddress_(address);
}

void BrowserChannel::ExecuteJS(const std::string& script) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scripts_.push_back(script);
    }
    cv_.notify_all();
}

void BrowserChannel::RegisterAsynchJSObject(const std::string& object, const std::string& function, JSFunction fn) {
    functions_[object][function] = std::move(fn);
    std::lock_guard<std::mutex> lock(mutex_);
    auto& names = objectNames_[object];
    if (std::find(names.begin(), names.end(), function) == names.end()) names.push_back(function);
}

std::string BrowserChannel::pageAddress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return page_;
}

std::filesystem::path BrowserChannel::folder() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return folder_;
}

std::string BrowserChannel::objectScript() const {
    nlohmann::json objects = nlohmann::json::object();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [object, functions] : objectNames_) objects[object] = functions;
    }
    return "var __objects = " + objects.dump() + ";";
}

std::uint64_t BrowserChannel::openStream(std::uint64_t resumed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (resumed != 0) return resumed == stream_ ? stream_ : 0;
    ++stream_;
    cv_.notify_all();
    return stream_;
}

std::deque<std::string> BrowserChannel::takeScripts(std::uint64_t stream, std::chrono::milliseconds wait,
                                                    bool& current) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, wait, [&] { return !scripts_.empty() || stream != stream_; });
    std::deque<std::string> out;
    current = stream == stream_;
    if (current) out.swap(scripts_);
    return out;
}

void BrowserChannel::returnScripts(std::deque<std::string> scripts) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.insert(scripts_.begin(), std::make_move_iterator(scripts.begin()), std::make_move_iterator(scripts.end()));
}

bool BrowserChannel::call(std::uint64_t stream, const std::string& object, const std::string& function,
                          std::string argsJson) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stream == 0 || stream != stream_) return false;
    }
    platform::MessageLoop::main().post([this, object, function, argsJson = std::move(argsJson)] {
        auto o = functions_.find(object);
        if (o == functions_.end()) return;
        auto f = o->second.find(function);
        if (f == o->second.end()) return;
        nlohmann::json args = nlohmann::json::parse(argsJson, nullptr, false);
        if (!args.is_array()) args = nlohmann::json::array();
        f->second(args);
    });
    return true;
}

void BrowserChannel::pageLoaded() {
    platform::MessageLoop::main().post([this] {
        if (loadingState_) loadingState_(false);
    });
}

void BrowserChannel::pageMissing(int code, const std::string& path) {
    platform::MessageLoop::main().post([this, code, path] {
        if (loadError_) loadError_(code, path);
    });
}

}  // namespace browser
