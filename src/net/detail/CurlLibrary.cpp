#include "net/detail/CurlLibrary.h"

#include <dlfcn.h>

namespace net::detail {

namespace {

template <typename F>
bool bind(void* handle, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(handle, name));
    return f != nullptr;
}

const CurlLibrary* load() {
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static CurlLibrary lib;
    CURLcode (*globalInit)(long) = nullptr;
    const bool complete =
        bind(handle, "curl_global_init", globalInit) && bind(handle, "curl_easy_init", lib.easyInit) &&
        bind(handle, "curl_easy_setopt", lib.easySetopt) && bind(handle, "curl_easy_getinfo", lib.easyGetinfo) &&
        bind(handle, "curl_easy_cleanup", lib.easyCleanup) && bind(handle, "curl_slist_append", lib.slistAppend) &&
        bind(handle, "curl_slist_free_all", lib.slistFreeAll) && bind(handle, "curl_multi_init", lib.multiInit) &&
        bind(handle, "curl_multi_add_handle", lib.multiAddHandle) &&
        bind(handle, "curl_multi_remove_handle", lib.multiRemoveHandle) &&
        bind(handle, "curl_multi_perform", lib.multiPerform) && bind(handle, "curl_multi_poll", lib.multiPoll) &&
        bind(handle, "curl_multi_info_read", lib.multiInfoRead) && bind(handle, "curl_multi_cleanup", lib.multiCleanup);
    // Kept loaded for the rest of the process: handles and callbacks may outlive any one caller.
    if (!complete || globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    return &lib;
}

}  // namespace

const CurlLibrary* curlLibrary() {
    static const CurlLibrary* lib = load();
    return lib;
}

}  // namespace net::detail
