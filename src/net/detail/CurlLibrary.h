// libcurl, loaded on first use instead of at start: with the twenty-five libraries it pulls in it
// costs every process about 10 ms before main(), and most commands never touch the network.
#pragma once
#include <curl/curl.h>

namespace net::detail {

struct CurlLibrary {
    CURL* (*easyInit)();
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
    void (*easyCleanup)(CURL*);
    curl_slist* (*slistAppend)(curl_slist*, const char*);
    void (*slistFreeAll)(curl_slist*);
    CURLM* (*multiInit)();
    CURLMcode (*multiAddHandle)(CURLM*, CURL*);
    CURLMcode (*multiRemoveHandle)(CURLM*, CURL*);
    CURLMcode (*multiPerform)(CURLM*, int*);
    CURLMcode (*multiPoll)(CURLM*, curl_waitfd[], unsigned int, int, int*);
    CURLMsg* (*multiInfoRead)(CURLM*, int*);
    CURLMcode (*multiCleanup)(CURLM*);
};

// The library, loaded and globally initialised once; nullptr when it or one of its functions is missing.
const CurlLibrary* curlLibrary();

}  // namespace net::detail
