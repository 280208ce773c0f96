// One page's browser control: the add-on's side of an embedded browser showing one page.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace browser {

class BrowserServer;

// Stands in for the host's browser control: scripts go to the page in order, calls of the script
// objects come back on the main thread.
class BrowserChannel {
public:
    // A script function: takes the call's arguments (a JSON array) and returns a value the page ignores.
    using JSFunction = std::function<nlohmann::json(const nlohmann::json& args)>;

    BrowserChannel(BrowserServer& server, std::string name);
    BrowserChannel(const BrowserChannel&) = delete;
    BrowserChannel& operator=(const BrowserChannel&) = delete;

    // Loads a page given as a file URL: its folder is served under this channel and the page's
    // address is announced to the listener. A URL that is not a file URL is reported as a load error.
    void LoadURL(const std::string& fileUrl);
    // Queues a script to run in the page; scripts run in the order queued.
    void ExecuteJS(const std::string& script);
    // Exposes an object with one function to the page (the page sees it once its event stream is open).
    void RegisterAsynchJSObject(const std::string& object, const std::string& function, JSFunction fn);

    // Forgets every script object (their owner is gone); the page's later calls do nothing.
    void clearObjects() { functions_.clear(); }

    // Load events: error code and URL; loading state (true while loading).
    void onLoadError(std::function<void(int, const std::string&)> handler) { loadError_ = std::move(handler); }
    void onLoadingState(std::function<void(bool)> handler) { loadingState_ = std::move(handler); }
    // Told the page's address after each LoadURL (the workspace shows it in the palette's window).
    void onPageAddress(std::function<void(const std::string&)> handler) { pageAddress_ = std::move(handler); }

    const std::string& name() const { return name_; }
    // The page's address on the server, empty before LoadURL.
    std::string pageAddress() const;
    // The folder served under this channel.
    std::filesystem::path folder() const;

    // ---- Called by the server (any thread) ----
    // Script of the page's objects, added to every page of this channel.
    std::string objectScript() const;
    // A page opened its event stream; only the newest stream of a channel takes scripts (a reloaded
    // page's old stream may still look open). A page reconnecting its stream names it (`resumed`): it keeps the
    // channel while that stream is still the newest, else it gets 0, as another page has taken the channel over.
    std::uint64_t openStream(std::uint64_t resumed = 0);
    // Waits up to `wait` for queued scripts and moves them out (in order); `current` turns false once a
    // newer stream has opened.
    std::deque<std::string> takeScripts(std::uint64_t stream, std::chrono::milliseconds wait, bool& current);
    // Puts scripts back at the front (a stream that could not deliver them).
    void returnScripts(std::deque<std::string> scripts);
    // A call from the page of that stream; runs the function on the main thread. False (and nothing runs) when the
    // stream is not the channel's current one: another page has taken the channel over.
    bool call(std::uint64_t stream, const std::string& object, const std::string& function, std::string argsJson);
    // The page told its loading state; a file it asked for was missing.
    void pageLoaded();
    void pageMissing(int code, const std::string& path);

private:
    BrowserServer& server_;
    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::string> scripts_;
    std::uint64_t stream_ = 0;
    std::filesystem::path folder_;
    std::string page_;
    // Touched on the main thread only.
    std::map<std::string, std::map<std::string, JSFunction>> functions_;
    // Guarded by mutex_: the names the page's object script declares.
    std::map<std::string, std::vector<std::string>> objectNames_;
    std::function<void(int, const std::string&)> loadError_;
    std::function<void(bool)> loadingState_;
    std::function<void(const std::string&)> pageAddress_;
};

}  // namespace browser
